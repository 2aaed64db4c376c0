// Claiming a terminal on Linux: flock(LOCK_EX | LOCK_NB), then TIOCEXCL.
#include <sys/file.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "elements/serial/port_claim_posix.hpp"

namespace kx::serial {

int claim_port(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno;
  // Exclusive mode set by another opener that takes no lock (a privileged process may open it
  // all the same, which is how we got here): the terminal is that program's.
  int exclusive = 0;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    ::flock(fd, LOCK_UN);
    return EBUSY;
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    const int err = errno;
    ::flock(fd, LOCK_UN);
    return err;
  }
  return 0;
}

void release_port_claim(int fd) {
  ::ioctl(fd, TIOCNXCL);
  ::flock(fd, LOCK_UN);
}

}  // namespace kx::serial
