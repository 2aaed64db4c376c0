// wdrive's output (UTF-8 lines on standard output and standard error) and small text helpers.
#include "wdrive.h"

namespace wdrive {

std::string to_utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void out(const std::string& line) {
  std::string s = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
            nullptr);
}

void err(const std::string& line) {
  std::string s = "wdrive: " + line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
            nullptr);
}

std::string quoted(const std::wstring& w) {
  std::wstring e;
  for (wchar_t c : w) {
    if (c == L'\r') {
      e += L"\\r";
    } else if (c == L'\n') {
      e += L"\\n";
    } else if (c == L'\t') {
      e += L"\\t";
    } else if (c == L'"' || c == L'\\') {
      e += L'\\';
      e += c;
    } else {
      e += c;
    }
  }
  std::string quoted = "\"";
  quoted += to_utf8(e);
  quoted += '"';
  return quoted;
}

long long epoch_ms() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

bool all_digits(const std::wstring& s) {
  if (s.empty()) return false;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

}  // namespace wdrive
