// The steps of one device's run as events, one flat JSON object per line, every line with its
// port:
//   {"event":"start","time":"2026-12-08T05:10:08.720+03:00","port":"COM5"}
//   {"event":"identified","time":"...","port":"COM5","answer":"MAGNETOFLUX VKD7 9.0\r\n",
//    "model":"VKD7","firmware":"9.0"}
//   {"event":"progress","time":"...","port":"COM5","blocks":51,"total":508,"percent":10}
//   {"event":"result","time":"...","port":"COM5", ...the rest of the summary's record}
// (each one line). A device's process in a run of several hands them to the first process,
// which writes the summary from the result; a terminal face may show them as they come.
#pragma once

#include <string>
#include <string_view>

#include "app/run_record.hpp"

namespace kx {

struct RunEvent {
  enum class Kind { Start, Identified, Progress, Result };
  Kind kind = Kind::Start;
  std::string time;  // local time as the log writes it
  std::string port;
  // Identified: the answer as received, and its second and third words.
  std::string answer, model, firmware;
  // Progress: blocks acknowledged of `total`, and the whole percent they make.
  int blocks = 0, total = 0, percent = 0;
  // Result: the summary's record; its port and time are the event's.
  RunRecord record;
};

// The event word of a kind: "start", "identified", "progress", "result".
const char* event_word(RunEvent::Kind kind);

// A result event for the record (its time and port taken from it).
RunEvent result_event(const RunRecord& record);

// The event as one JSON object and "\n". A result's fields are the summary line's.
std::string event_line(const RunEvent& event);

// Reads one line event_line wrote (a line end "\n" or "\r\n" after the object is allowed).
// False, and `event` unspecified, for anything else: not one flat object of strings (with the
// escapes the writer uses), numbers and null; a field given twice; an unknown event; a field
// of the event missing or of the wrong type. Fields it does not know are passed over.
bool parse_event_line(std::string_view line, RunEvent& event);

// Where events go. Called on the thread that runs the device's run.
class RunEventSink {
 public:
  virtual ~RunEventSink() = default;
  virtual void on_event(const RunEvent& event) = 0;
};

}  // namespace kx
