// Received bytes as text for the log and the summary lines.
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Bytes as readable text: printable ASCII and bytes from 0x80 up as they are, a quote and a
// backslash escaped, line ends and tabs as \r \n \t, every other byte as \xNN.
std::string printable(std::string_view bytes);

// Bytes as a JSON string, quotes included: the same escapes, and every byte below 0x20 or from
// 0x7F up as \u00NN of the byte (the bytes are no known encoding's).
std::string json_string(std::string_view bytes);

}  // namespace kx
