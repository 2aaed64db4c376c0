#include "app/escape.hpp"

namespace kx {

namespace {

// A quote and a backslash escaped, line ends and tabs as \r \n \t; every other byte below 0x20,
// 0x7F and (for JSON) every byte from 0x80 up as \xNN, or \u00NN for JSON.
std::string escaped(std::string_view bytes, bool json) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F || (json && b > 0x7F)) {
      out += json ? "\\u00" : "\\x";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string printable(std::string_view bytes) {
  return escaped(bytes, false);
}

std::string json_string(std::string_view bytes) {
  return '"' + escaped(bytes, true) + '"';
}

}  // namespace kx
