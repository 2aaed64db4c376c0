// TKxFormatStr: fills the numbered placeholders %1 .. %Count of a format text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/tdata.hpp"

namespace kx {

class TKxFormatStr {
 public:
  std::string Mask;                  // the format; "%%" stands for one "%"
  std::vector<EventLink> dataParam;  // 1..Count (slot 0 unused), sized by set_Count
  EventLink onResult;
  std::string result;  // the last result

  void set_Count(std::int32_t n) { dataParam.resize(n > 0 ? static_cast<std::size_t>(n) + 1 : 1); }
  std::int32_t Count() const { return static_cast<std::int32_t>(dataParam.size()) - 1; }

  // Reads the parameters 1..Count in order and replaces each "%i" that is not followed by a
  // digit; inserted values take part in the later replacements. A placeholder without a
  // parameter stays as it is.
  void doFormat(TData& d, std::uint16_t index);
};

}  // namespace kx
