// A terminal that the tool opened is the tool's alone until it closes it. On Linux two programs
// can open one terminal and then split the device's answers between them; two locks keep a
// second opener out: the advisory lock that cooperating programs honour, and the terminal's
// exclusive mode, which the kernel enforces on every later open (a privileged opener excepted).
#pragma once

#include <string>

#include "elements/serial/port.hpp"

namespace kx::serial {

// Claims the open terminal `fd` for this process: the advisory lock without waiting, then the
// exclusive mode. 0 on success, else the error number and nothing is left held: EWOULDBLOCK
// when another program holds the lock, EBUSY when another opener set the exclusive mode. A
// refused claim changes nothing for the holder.
int claim_port(int fd);

// Gives up a claim before the terminal is closed (the terminal may outlive this descriptor:
// a pseudo-terminal's other side keeps it).
void release_port_claim(int fd);

// Opens the device at `path` as a port's open does (port_open_posix.cpp: only a terminal, and
// claimed) and lets it go again. No problem when it can be had now; else why: NoSuchPort (with
// ENOTTY: the path is no terminal), Busy, AccessDenied or Other, and the OS error.
OpenError trial_open(const std::string& path);

}  // namespace kx::serial
