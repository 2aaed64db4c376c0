// wine_ref_sender: the plainest Win32 sender of a firmware image, as a yardstick for what the
// operating system (or Wine) costs under the tool. It opens the port, asks "VERS", then writes
// each 256-byte block in one WriteFile and reads the device's 2-byte CRC answer with a
// blocking ReadFile, the last answer followed by "FZ", and ends with "PUSK". With --events it
// waits for the bytes-received port event (overlapped WaitCommEvent) and reads what the queue
// holds instead, as an event-driven tool must: what the port events themselves cost.
//
//   wine_ref_sender COMn IMAGE_FILE [--events]
//
// Prints "ok blocks=N ms=T" (T from the first block written to "PUSK" written) and returns 0,
// or prints what went wrong and returns 1.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kBaud = 38462;
constexpr std::size_t kBlock = 256;

std::uint16_t crc16_step(std::uint16_t crc, std::uint8_t byte) {
  crc ^= byte;
  for (int i = 0; i < 8; ++i)
    crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  return crc;
}

bool g_overlapped = false;  // --events: the port is opened for overlapped I/O

bool write_all(HANDLE port, const void* data, DWORD size) {
  DWORD done = 0;
  if (!g_overlapped) return WriteFile(port, data, size, &done, nullptr) && done == size;
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool ok = WriteFile(port, data, size, &done, &ov) != 0;
  if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(port, &ov, &done, TRUE);
  CloseHandle(ov.hEvent);
  return ok && done == size;
}

// Reads exactly `size` bytes within the port's total time-out (repeating short reads).
bool read_exact(HANDLE port, std::uint8_t* out, DWORD size) {
  DWORD have = 0;
  while (have < size) {
    DWORD got = 0;
    if (!ReadFile(port, out + have, size - have, &got, nullptr) || got == 0) return false;
    have += got;
  }
  return true;
}

// Waits for port events until `size` bytes have been read (3 s at most).
bool read_by_events(HANDLE port, std::uint8_t* out, DWORD size) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const ULONGLONG deadline = GetTickCount64() + 3000;
  DWORD have = 0;
  bool ok = true;
  while (ok && have < size) {
    DWORD errors = 0;
    COMSTAT stat{};
    ok = ClearCommError(port, &errors, &stat) != 0;
    if (ok && stat.cbInQue > 0) {
      DWORD got = 0;
      const DWORD want = stat.cbInQue < size - have ? stat.cbInQue : size - have;
      OVERLAPPED rov{};
      rov.hEvent = ov.hEvent;
      ResetEvent(ov.hEvent);
      if (!ReadFile(port, out + have, want, &got, &rov))
        ok = GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(port, &rov, &got, TRUE);
      if (!ok) std::fprintf(stderr, "ReadFile failed: error %lu\n", GetLastError());
      have += got;
      continue;
    }
    if (!ok) {
      std::fprintf(stderr, "ClearCommError failed: error %lu\n", GetLastError());
      break;
    }
    if (GetTickCount64() >= deadline) {
      std::fprintf(stderr, "no answer within 3 s (%lu of %lu bytes)\n", have, size);
      ok = false;
      break;
    }
    DWORD mask = 0;
    ResetEvent(ov.hEvent);
    if (!WaitCommEvent(port, &mask, &ov)) {
      ok = GetLastError() == ERROR_IO_PENDING;
      if (!ok) std::fprintf(stderr, "WaitCommEvent failed: error %lu\n", GetLastError());
      if (ok && WaitForSingleObject(ov.hEvent, 3000) != WAIT_OBJECT_0) {
        DWORD e2 = 0;
        COMSTAT st2{};
        ClearCommError(port, &e2, &st2);
        std::fprintf(stderr, "no port event within 3 s, %lu bytes waiting\n", st2.cbInQue);
        CancelIoEx(port, &ov);
        DWORD n = 0;
        GetOverlappedResult(port, &ov, &n, TRUE);
        ok = false;
      }
    }
  }
  CloseHandle(ov.hEvent);
  return ok;
}

bool set_timeouts(HANDLE port, DWORD interval, DWORD total) {
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = interval;
  t.ReadTotalTimeoutConstant = total;
  t.WriteTotalTimeoutConstant = 5000;
  return SetCommTimeouts(port, &t) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool events = argc == 4 && std::string(argv[3]) == "--events";
  g_overlapped = events;
  if (argc != 3 && !events) {
    std::fprintf(stderr, "usage: wine_ref_sender COMn IMAGE_FILE [--events]\n");
    return 1;
  }
  std::vector<std::uint8_t> image;
  if (FILE* f = std::fopen(argv[2], "rb")) {
    std::uint8_t buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) image.insert(image.end(), buf, buf + n);
    std::fclose(f);
  }
  if (image.empty() || image.size() % kBlock != 0) {
    std::fprintf(stderr, "cannot read a whole number of blocks from %s\n", argv[2]);
    return 1;
  }
  const std::string name = std::string("\\\\.\\") + argv[1];
  HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            events ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(port, &dcb);
  dcb.BaudRate = kBaud;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  if (!SetCommState(port, &dcb) || !PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR) ||
      (events && !SetCommMask(port, EV_RXCHAR))) {
    std::fprintf(stderr, "cannot set the line up: error %lu\n", GetLastError());
    CloseHandle(port);
    return 1;
  }

  // Identification: the answer ends with a line feed, or after 100 ms of quiet.
  int rc = 1;
  std::string answer;
  set_timeouts(port, 100, 2000);
  if (!write_all(port, "VERS", 4)) {
    std::fprintf(stderr, "cannot write VERS: error %lu\n", GetLastError());
  } else {
    char buf[64];
    DWORD got = 0;
    std::uint8_t byte = 0;
    if (events) {
      while (answer.find('\n') == std::string::npos && answer.size() < sizeof buf &&
             read_by_events(port, &byte, 1))
        answer.push_back(static_cast<char>(byte));
    } else {
      while (answer.find('\n') == std::string::npos &&
             ReadFile(port, buf, sizeof buf, &got, nullptr) && got > 0)
        answer.append(buf, got);
    }
    rc = answer.rfind("MAGNETOFLUX", 0) == 0 ? 0 : 1;
    if (rc != 0) std::fprintf(stderr, "no device answered VERS (%zu bytes)\n", answer.size());
  }

  const std::size_t blocks = image.size() / kBlock;
  std::size_t sent = 0;
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  set_timeouts(port, 0, 3000);
  std::uint16_t crc = 0xFFFF;
  for (std::size_t b = 0; rc == 0 && b < blocks; ++b) {
    const std::uint8_t* block = image.data() + b * kBlock;
    for (std::size_t i = 0; i < kBlock; ++i) crc = crc16_step(crc, block[i]);
    const bool last = b + 1 == blocks;
    std::uint8_t got[4] = {};
    const DWORD want = last ? 4 : 2;
    if (!write_all(port, block, kBlock) ||
        !(events ? read_by_events(port, got, want) : read_exact(port, got, want))) {
      std::fprintf(stderr, "block %zu: no answer (error %lu)\n", b, GetLastError());
      rc = 1;
      break;
    }
    if (got[0] != (crc >> 8) || got[1] != (crc & 0xFF) ||
        (last && (got[2] != 'F' || got[3] != 'Z'))) {
      std::fprintf(stderr, "block %zu: received %02X %02X, expected %02X %02X\n", b, got[0], got[1],
                   crc >> 8, crc & 0xFF);
      rc = 1;
      break;
    }
    ++sent;
  }
  if (rc == 0 && !write_all(port, "PUSK", 4)) rc = 1;
  QueryPerformanceCounter(&t1);
  FlushFileBuffers(port);
  CloseHandle(port);
  if (rc == 0)
    std::printf("ok blocks=%zu ms=%lld\n", sent,
                static_cast<long long>((t1.QuadPart - t0.QuadPart) * 1000 / freq.QuadPart));
  return rc;
}
