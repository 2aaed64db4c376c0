#include "app/run_events.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

#include "app/escape.hpp"
#include "app/summary.hpp"
#include "app/update_log.hpp"

namespace kx {

namespace {

constexpr const char* kWords[] = {"start", "identified", "progress", "result"};

// One value of a flat object: a string (unescaped), a number (as written) or null.
struct Value {
  enum class Type { String, Number, Null } type = Type::Null;
  std::string text;
};

// Reads a flat JSON object at `s`: strings, numbers and null only, no key twice. Whitespace
// between tokens is allowed; after the object only a line end.
class FlatReader {
 public:
  explicit FlatReader(std::string_view s) : s_(s) {}

  bool read(std::map<std::string, Value>& out) {
    blanks();
    if (!take('{')) return false;
    blanks();
    if (take('}')) return end();
    for (;;) {
      std::string key;
      Value value;
      blanks();
      if (!string(key)) return false;
      blanks();
      if (!take(':')) return false;
      blanks();
      if (!this->value(value)) return false;
      if (!out.emplace(std::move(key), std::move(value)).second) return false;
      blanks();
      if (take('}')) return end();
      if (!take(',')) return false;
    }
  }

 private:
  bool take(char c) {
    if (at_ >= s_.size() || s_[at_] != c) return false;
    ++at_;
    return true;
  }
  void blanks() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t')) ++at_;
  }
  bool end() {
    blanks();
    const std::string_view rest = s_.substr(at_);
    return rest.empty() || rest == "\n" || rest == "\r\n";
  }
  static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }
  // Printable ASCII as it is; \" \\ \r \n \t and \u00NN (one byte). Nothing else.
  bool string(std::string& out) {
    if (!take('"')) return false;
    while (at_ < s_.size()) {
      const auto c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') return true;
      if (c < 0x20 || c > 0x7E) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= s_.size()) return false;
      const char e = s_[at_++];
      if (e == '"' || e == '\\') {
        out += e;
      } else if (e == 'r') {
        out += '\r';
      } else if (e == 'n') {
        out += '\n';
      } else if (e == 't') {
        out += '\t';
      } else if (e == 'u') {
        if (s_.size() - at_ < 4 || s_[at_] != '0' || s_[at_ + 1] != '0') return false;
        const int hi = hex_digit(s_[at_ + 2]), lo = hex_digit(s_[at_ + 3]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        at_ += 4;
      } else {
        return false;
      }
    }
    return false;
  }
  // A JSON number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  bool number(std::string& out) {
    const std::size_t from = at_;
    const auto digits = [&] {
      const std::size_t d = at_;
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      return at_ - d;
    };
    take('-');
    if (take('0')) {
      if (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') return false;
    } else if (digits() == 0) {
      return false;
    }
    if (take('.') && digits() == 0) return false;
    if (take('e') || take('E')) {
      if (!take('+')) take('-');
      if (digits() == 0) return false;
    }
    out.assign(s_.substr(from, at_ - from));
    return true;
  }
  bool value(Value& v) {
    if (at_ < s_.size() && s_[at_] == '"') {
      v.type = Value::Type::String;
      return string(v.text);
    }
    if (s_.substr(at_, 4) == "null") {
      at_ += 4;
      v.type = Value::Type::Null;
      return true;
    }
    v.type = Value::Type::Number;
    return number(v.text);
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

// The fields of one event, each taken once with its type checked.
class Fields {
 public:
  explicit Fields(std::map<std::string, Value>& all) : all_(all) {}
  bool ok() const { return ok_; }

  // A text that may be left out (out is left as it is then).
  void text_if_given(const char* key, std::string& out) {
    if (find(key) != nullptr) text(key, out);
  }
  void text(const char* key, std::string& out) {
    const Value* v = find(key);
    if (v == nullptr || v->type != Value::Type::String)
      ok_ = false;
    else
      out = v->text;
  }
  // A whole number in int's range; with `null_as`, null gives it.
  void whole(const char* key, int& out, const int* null_as = nullptr) {
    const Value* v = find(key);
    if (v != nullptr && v->type == Value::Type::Null && null_as != nullptr) {
      out = *null_as;
      return;
    }
    if (v == nullptr || v->type != Value::Type::Number) {
      ok_ = false;
      return;
    }
    const char* first = v->text.data();
    const char* last = first + v->text.size();
    const auto [end, error] = std::from_chars(first, last, out);
    if (error != std::errc() || end != last) ok_ = false;
  }
  void real(const char* key, double& out) {
    const Value* v = find(key);
    if (v == nullptr || v->type != Value::Type::Number) {
      ok_ = false;
      return;
    }
    char* end = nullptr;
    out = std::strtod(v->text.c_str(), &end);  // the grammar was checked: it reads all
    if (end != v->text.c_str() + v->text.size() || !std::isfinite(out)) ok_ = false;
  }

 private:
  const Value* find(const char* key) const {
    const auto it = all_.find(key);
    return it == all_.end() ? nullptr : &it->second;
  }
  std::map<std::string, Value>& all_;
  bool ok_ = true;
};

}  // namespace

const char* event_word(RunEvent::Kind kind) {
  return kWords[static_cast<int>(kind)];
}

RunEvent result_event(const RunRecord& record) {
  RunEvent e;
  e.kind = RunEvent::Kind::Result;
  e.record = record;
  if (e.record.time.empty()) e.record.time = iso8601_local(record.ended);
  e.time = e.record.time;
  e.port = record.port;
  return e;
}

std::string event_line(const RunEvent& e) {
  std::string line = "{\"event\":" + json_string(event_word(e.kind)) + ",";
  if (e.kind == RunEvent::Kind::Result) return line + summary_fields(e.record) + "}\n";
  line += "\"time\":" + json_string(e.time) + ",\"port\":" + json_string(e.port);
  if (e.kind == RunEvent::Kind::Identified) {
    line += ",\"answer\":" + json_string(e.answer);
    line += ",\"model\":" + json_string(e.model);
    line += ",\"firmware\":" + json_string(e.firmware);
  } else if (e.kind == RunEvent::Kind::Progress) {
    line += ",\"blocks\":" + std::to_string(e.blocks);
    line += ",\"total\":" + std::to_string(e.total);
    line += ",\"percent\":" + std::to_string(e.percent);
  }
  return line + "}\n";
}

bool parse_event_line(std::string_view line, RunEvent& e) {
  std::map<std::string, Value> all;
  if (!FlatReader(line).read(all)) return false;
  Fields f(all);
  std::string word;
  f.text("event", word);
  f.text("time", e.time);
  f.text("port", e.port);
  if (!f.ok()) return false;
  int kind = 0;
  while (kind < 4 && word != kWords[kind]) ++kind;
  if (kind == 4) return false;
  e.kind = static_cast<RunEvent::Kind>(kind);
  switch (e.kind) {
    case RunEvent::Kind::Start:
      break;
    case RunEvent::Kind::Identified:
      f.text("answer", e.answer);
      f.text("model", e.model);
      f.text("firmware", e.firmware);
      break;
    case RunEvent::Kind::Progress:
      f.whole("blocks", e.blocks);
      f.whole("total", e.total);
      f.whole("percent", e.percent);
      break;
    case RunEvent::Kind::Result: {
      RunRecord& r = e.record;
      r.time = e.time;
      r.port = e.port;
      const int unknown = -1;
      f.text_if_given("device", r.device);
      f.text("model", r.model);
      f.text("firmware", r.firmware);
      f.text("offered", r.offered);
      f.text("result", r.result);
      f.whole("blocks", r.blocks, &unknown);
      f.real("seconds", r.seconds);
      f.whole("exit_code", r.exit_code);
      f.text("reason", r.reason);
      // The adapter, where known: "usb" is "vvvv:pppp".
      std::string usb;
      f.text_if_given("selector", r.selector);
      f.text_if_given("usb", usb);
      f.text_if_given("serial", r.adapter.serial);
      f.text_if_given("location", r.adapter.location);
      f.text_if_given("interface", r.adapter.interface_number);
      if (usb.size() == 9 && usb[4] == ':') {
        r.adapter.vid = usb.substr(0, 4);
        r.adapter.pid = usb.substr(5);
      }
      break;
    }
  }
  return f.ok();
}

}  // namespace kx
