/* Checks of the modem-line fixture: run with the library preloaded (build-shim.sh --test).
 * Built twice, with 32-bit and 64-bit time, so that both ioctl entry points are exercised. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static int g_failures;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++g_failures;                                                            \
    }                                                                          \
  } while (0)

struct pty {
  int master;
  int slave;
};

static struct pty open_pty(void) {
  struct pty p = {-1, -1};
  p.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (p.master < 0 || grantpt(p.master) != 0 || unlockpt(p.master) != 0) {
    perror("posix_openpt");
    exit(2);
  }
  p.slave = open(ptsname(p.master), O_RDWR | O_NOCTTY);
  if (p.slave < 0) {
    perror("open slave");
    exit(2);
  }
  return p;
}

static int lines(int fd) {
  int bits = -1;
  CHECK(ioctl(fd, TIOCMGET, &bits) == 0);
  return bits;
}

/* The slave shows a live device's lines; the host's lines follow SET, BIS and BIC. */
static void test_modem_lines(void) {
  struct pty p = open_pty();
  const int device = TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
  CHECK(lines(p.slave) == device);

  int dtr = TIOCM_DTR;
  CHECK(ioctl(p.slave, TIOCMBIS, &dtr) == 0);
  CHECK(lines(p.slave) == (device | TIOCM_DTR));

  int rts = TIOCM_RTS;
  CHECK(ioctl(p.slave, TIOCMBIS, &rts) == 0);
  CHECK(ioctl(p.slave, TIOCMBIC, &dtr) == 0);
  CHECK(lines(p.slave) == (device | TIOCM_RTS));

  /* SET replaces the host's lines but cannot switch the device's off. */
  int only_dtr = TIOCM_DTR;
  CHECK(ioctl(p.slave, TIOCMSET, &only_dtr) == 0);
  CHECK(lines(p.slave) == (device | TIOCM_DTR));
  int none = 0;
  CHECK(ioctl(p.slave, TIOCMSET, &none) == 0);
  CHECK(lines(p.slave) == device);

  close(p.slave);
  close(p.master);
}

/* Other requests and other descriptors reach the kernel unchanged. */
static void test_pass_through(void) {
  struct pty p = open_pty();
  int bits = 0;
  errno = 0;
  CHECK(ioctl(p.master, TIOCMGET, &bits) == -1); /* the master side has no modem lines */
  CHECK(errno != 0);

  int fds[2];
  CHECK(pipe(fds) == 0);
  errno = 0;
  CHECK(ioctl(fds[0], TIOCMGET, &bits) == -1);
  CHECK(errno == ENOTTY);
  close(fds[0]);
  close(fds[1]);

  struct termios tio;
  CHECK(tcgetattr(p.slave, &tio) == 0);
  cfmakeraw(&tio);
  CHECK(tcsetattr(p.slave, TCSANOW, &tio) == 0);
  CHECK(write(p.master, "abc", 3) == 3);
  int waiting = -1;
  for (int i = 0; i < 100 && waiting != 3; ++i) {
    CHECK(ioctl(p.slave, FIONREAD, &waiting) == 0);
    if (waiting != 3) usleep(1000);
  }
  CHECK(waiting == 3);

  close(p.slave);
  close(p.master);
}

/* A closed master looks like a pulled adapter: the line requests fail with EIO. */
static void test_hangup(void) {
  struct pty p = open_pty();
  int bits = 0;
  close(p.master);

  errno = 0;
  CHECK(ioctl(p.slave, TIOCMGET, &bits) == -1);
  CHECK(errno == EIO);

  struct timespec t0, t1;
  clock_gettime(CLOCK_MONOTONIC, &t0);
  errno = 0;
  CHECK(ioctl(p.slave, TIOCMIWAIT, TIOCM_CTS) == -1);
  CHECK(errno == EIO);
  clock_gettime(CLOCK_MONOTONIC, &t1);
  CHECK(t1.tv_sec - t0.tv_sec < 2);

  setenv("KX_PTYSHIM_HANGUP", "0", 1);
  CHECK(ioctl(p.slave, TIOCMGET, &bits) == 0);
  unsetenv("KX_PTYSHIM_HANGUP");
  close(p.slave);
}

/* A descriptor closed and reopened, on the same terminal or another, starts from the
 * device's lines again. */
static void test_descriptor_reuse(void) {
  struct pty a = open_pty();
  int dtr = TIOCM_DTR;
  CHECK(ioctl(a.slave, TIOCMBIS, &dtr) == 0);
  int old_fd = a.slave;
  close(a.slave);
  a.slave = open(ptsname(a.master), O_RDWR | O_NOCTTY);
  CHECK(a.slave == old_fd);
  CHECK(lines(a.slave) == (TIOCM_CTS | TIOCM_DSR | TIOCM_CD));

  CHECK(ioctl(a.slave, TIOCMBIS, &dtr) == 0);
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  CHECK(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  close(a.slave);
  int other = open(ptsname(master), O_RDWR | O_NOCTTY);
  CHECK(other == old_fd);
  CHECK(lines(other) == (TIOCM_CTS | TIOCM_DSR | TIOCM_CD));

  close(other);
  close(master);
  close(a.master);
}

int main(void) {
  test_modem_lines();
  test_pass_through();
  test_hangup();
  test_descriptor_reuse();
  if (g_failures) {
    fprintf(stderr, "%d check(s) failed\n", g_failures);
    return 1;
  }
  printf("ptyshim checks passed (%s)\n", sizeof(time_t) == 8 ? "64-bit time" : "32-bit time");
  return 0;
}
