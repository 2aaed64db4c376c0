/* Test fixture, preloaded into wine (built for its word size): gives pseudo-terminals modem-status
 * lines.
 *
 * Wine's serial layer polls the modem lines (TIOCMGET) while it waits for port events and
 * cancels the wait when that ioctl fails, which it always does on a pseudo-terminal. This
 * library answers TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC and TIOCMIWAIT for pseudo-terminal
 * slaves from a small per-descriptor table (CTS, DSR and CD on, as on a cable with a live
 * device; DTR and RTS as the program sets them) and passes every other request, and every
 * other descriptor, to the C library untouched.
 *
 * When the other end of the pseudo-terminal has closed (the simulated adapter was pulled),
 * the modem-line requests fail with EIO, as a vanished serial device does. Set
 * KX_PTYSHIM_HANGUP=0 to keep answering instead.
 *
 * 32-bit glibc built with 64-bit time calls __ioctl_time64, so both entry points are
 * intercepted (64-bit glibc calls only ioctl); close is intercepted to forget a descriptor's
 * lines. Build: gcc -m32 (or -m64) -shared -fPIC -O2 -o libptyshim.so ptyshim.c -ldl
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*close_fn)(int);

enum { kMaxFd = 4096 };

/* Lines a live device presents to the host; the host's own lines start off. */
#define KX_DEVICE_LINES (TIOCM_CTS | TIOCM_DSR | TIOCM_CD)
#define KX_HOST_LINES (TIOCM_DTR | TIOCM_RTS)

struct line_state {
  dev_t rdev;      /* the terminal this slot describes */
  unsigned int on; /* 1 once the slot is initialised; cleared when the descriptor closes */
  int lines;
};

static struct line_state g_state[kMaxFd];
static ioctl_fn g_real_ioctl;
static ioctl_fn g_real_ioctl64;
static close_fn g_real_close;

static ioctl_fn lookup(const char* name) {
  return (ioctl_fn)dlsym(RTLD_NEXT, name);
}

/* Unix98 pseudo-terminal slaves are character devices with majors 136 to 143. */
static int is_pty_slave(int fd, dev_t* rdev) {
  struct stat st;
  if (fd < 0 || fd >= kMaxFd || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  unsigned int maj = major(st.st_rdev);
  if (maj < 136 || maj > 143) return 0;
  *rdev = st.st_rdev;
  return 1;
}

static int hangup_is_error(void) {
  const char* v = getenv("KX_PTYSHIM_HANGUP");
  return !(v && v[0] == '0');
}

/* The master side is gone when the slave reports a hang-up. */
static int peer_gone(int fd) {
  struct pollfd p = {fd, 0, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

static struct line_state* slot(int fd, dev_t rdev) {
  struct line_state* s = &g_state[fd];
  if (!__atomic_load_n(&s->on, __ATOMIC_ACQUIRE) || s->rdev != rdev) {
    s->rdev = rdev;
    __atomic_store_n(&s->lines, KX_DEVICE_LINES, __ATOMIC_RELAXED);
    __atomic_store_n(&s->on, 1u, __ATOMIC_RELEASE);
  }
  return s;
}

static int modem_request(unsigned long req) {
  return req == TIOCMGET || req == TIOCMSET || req == TIOCMBIS || req == TIOCMBIC ||
         req == TIOCMIWAIT;
}

/* A closed descriptor forgets its lines: the next terminal opened on that number starts afresh. */
int close(int fd) {
  if (fd >= 0 && fd < kMaxFd) __atomic_store_n(&g_state[fd].on, 0u, __ATOMIC_RELEASE);
  close_fn fn = __atomic_load_n(&g_real_close, __ATOMIC_ACQUIRE);
  if (!fn) {
    fn = (close_fn)dlsym(RTLD_NEXT, "close");
    if (!fn) {
      errno = ENOSYS;
      return -1;
    }
    __atomic_store_n(&g_real_close, fn, __ATOMIC_RELEASE);
  }
  return fn(fd);
}

/* Returns 1 and sets *result when the request was answered here. */
static int answer(int fd, unsigned long req, void* arg, int* result) {
  dev_t rdev;
  if (!modem_request(req) || !is_pty_slave(fd, &rdev)) return 0;
  if (hangup_is_error() && peer_gone(fd)) {
    errno = EIO;
    *result = -1;
    return 1;
  }
  struct line_state* s = slot(fd, rdev);
  int* bits = (int*)arg;
  switch (req) {
    case TIOCMGET:
      *bits = __atomic_load_n(&s->lines, __ATOMIC_RELAXED);
      break;
    case TIOCMSET:
      __atomic_store_n(&s->lines, KX_DEVICE_LINES | (*bits & KX_HOST_LINES), __ATOMIC_RELAXED);
      break;
    case TIOCMBIS:
      __atomic_fetch_or(&s->lines, *bits & KX_HOST_LINES, __ATOMIC_RELAXED);
      break;
    case TIOCMBIC:
      __atomic_fetch_and(&s->lines, ~(*bits & KX_HOST_LINES), __ATOMIC_RELAXED);
      break;
    case TIOCMIWAIT: {
      /* The device's lines never change: wait until the peer goes away, then fail. */
      const struct timespec tick = {0, 20 * 1000 * 1000};
      while (!peer_gone(fd)) nanosleep(&tick, NULL);
      errno = EIO;
      *result = -1;
      return 1;
    }
  }
  *result = 0;
  return 1;
}

static int forward(ioctl_fn* cache, const char* name, int fd, unsigned long req, void* arg) {
  ioctl_fn fn = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
  if (!fn) {
    fn = lookup(name);
    if (!fn) fn = lookup("ioctl");
    if (!fn) {
      errno = ENOSYS;
      return -1;
    }
    __atomic_store_n(cache, fn, __ATOMIC_RELEASE);
  }
  return fn(fd, req, arg);
}

int ioctl(int fd, unsigned long req, ...) {
  va_list ap;
  va_start(ap, req);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  int result;
  if (answer(fd, req, arg, &result)) return result;
  return forward(&g_real_ioctl, "ioctl", fd, req, arg);
}

int __ioctl_time64(int fd, unsigned long req, ...) {
  va_list ap;
  va_start(ap, req);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  int result;
  if (answer(fd, req, arg, &result)) return result;
  return forward(&g_real_ioctl64, "__ioctl_time64", fd, req, arg);
}
