// The run's events as lines: what the writer writes the reader reads back field for field, and
// a line that is not one of them (cut, garbled, hostile) is refused.
#include <gtest/gtest.h>

#include "app/run_events.hpp"
#include "app/summary.hpp"

namespace kx {
namespace {

RunEvent sample(RunEvent::Kind kind) {
  RunEvent e;
  e.kind = kind;
  e.time = "2026-12-08T05:10:08.720+03:00";
  e.port = "COM5";
  return e;
}

// Every field, the escapes of every kind of byte, a null block count.
TEST(RunEvents, WhatIsWrittenIsReadBack) {
  std::vector<RunEvent> events;
  events.push_back(sample(RunEvent::Kind::Start));
  RunEvent found = sample(RunEvent::Kind::Identified);
  static const char kAnswer[] = "MAGNETOFLUX \"VKD7\"\\ 9.0\t\x00\x01\x7F\xC0\xFF\r\n";
  found.answer = std::string(kAnswer, sizeof kAnswer - 1);  // the NUL inside kept
  found.model = "\"VKD7\"\\";
  found.firmware = "9.0\t";
  events.push_back(found);
  RunEvent progress = sample(RunEvent::Kind::Progress);
  progress.blocks = 51;
  progress.total = 508;
  progress.percent = 10;
  events.push_back(progress);
  RunRecord r;
  r.time = "2026-12-08T05:10:44.120-11:30";
  r.port = "/dev/serial/by-id/usb-\"x\"";
  r.model = "VKD7";
  r.firmware = "9.0";
  r.result = "transfer failed";
  r.blocks = -1;
  r.seconds = 35.4;
  r.exit_code = 1;
  r.reason = std::string("received \x02\xFE\r\n", 13);
  events.push_back(result_event(r));
  r.blocks = 508;
  r.exit_code = 0;
  r.result = "updated";
  r.reason.clear();
  r.device = "/dev/ttyUSB0";  // the device behind a link, given only where there is one
  events.push_back(result_event(r));

  for (const RunEvent& e : events) {
    const std::string line = event_line(e);
    SCOPED_TRACE(line);
    ASSERT_EQ(line.find('\n'), line.size() - 1);
    RunEvent back;
    ASSERT_TRUE(parse_event_line(line, back));
    EXPECT_EQ(event_line(back), line);
    EXPECT_EQ(back.kind, e.kind);
    EXPECT_EQ(back.port, e.port);
    EXPECT_EQ(back.time, e.time);
    EXPECT_EQ(back.answer, e.answer);
    EXPECT_EQ(back.model, e.model);
    EXPECT_EQ(back.firmware, e.firmware);
    EXPECT_EQ(back.blocks, e.blocks);
    if (e.kind == RunEvent::Kind::Result) {
      // The result is the summary's line with the event word in front.
      EXPECT_EQ("{\"event\":\"result\"," + summary_line(back.record).substr(1),
                line.substr(0, line.size() - 1) + "\r\n");
      EXPECT_EQ(back.record.blocks, e.record.blocks);
      EXPECT_EQ(back.record.reason, e.record.reason);
      EXPECT_EQ(back.record.exit_code, e.record.exit_code);
      EXPECT_EQ(back.record.device, e.record.device);
    }
    // A line cut anywhere before its object ends is refused.
    for (std::size_t cut = 0; cut + 1 < line.size(); ++cut)
      EXPECT_FALSE(parse_event_line(line.substr(0, cut), back)) << cut;
  }
}

struct LineCase {
  const char* line;
  bool read;
};

// Strings with the writer's escapes, numbers, null; every field of the event once, of its type.
TEST(RunEvents, OnlyWellFormedEventsAreRead) {
  const std::vector<LineCase> cases = {
      {R"({"event":"start","time":"t","port":"COM5"})", true},
      {R"({"event":"start","time":"t","port":"COM5"})"
       "\r\n",
       true},
      {R"( { "event" : "start" , "time":"t",	"port":"COM5" } )", true},
      {R"({"event":"start","time":"t","port":"COM5","later":[1]})", false},
      {R"({"event":"start","time":"t","port":"COM5","later":1.5e-3,"more":null})", true},
      {R"({"event":"progress","time":"t","port":"COM5","blocks":1,"total":2,"percent":50})", true},
      {"", false},
      {"\n", false},
      {"{}", false},
      {"[]", false},
      {"null", false},
      {R"({"event":"start","time":"t","port":"COM5"}x)", false},
      {R"({"event":"start","time":"t","port":"COM5"}{"event":"start","time":"t","port":"COM5"})",
       false},
      {R"({"event":"start","time":"t","port":"COM5"})"
       "\n\n",
       false},
      {R"({"event":"start","time":"t","port":"COM5",})", false},
      {R"({"event":"start","time":"t","port":"COM5",,"a":1})", false},
      {R"({"event":"start","time":"t","port":"COM5","port":"COM6"})", false},
      {R"({"event":"finish","time":"t","port":"COM5"})", false},
      {R"({"event":"START","time":"t","port":"COM5"})", false},
      {R"({"event":"start","time":"t"})", false},
      {R"({"event":"start","time":"t","port":5})", false},
      {R"({"event":"start","time":"t","port":null})", false},
      {R"({"event":"start","time":"t","port":"COM5\x41"})", false},
      {R"({"event":"start","time":"t","port":"COM5\u0100"})", false},
      {R"({"event":"start","time":"t","port":"COM5\u00G0"})", false},
      {R"({"event":"start","time":"t","port":"COM5\u00"})", false},
      {R"({"event":"start","time":"t","port":"COM5\/"})", false},
      {R"({"event":"start","time":"t","port":"COM5\)", false},
      {"{\"event\":\"start\",\"time\":\"t\",\"port\":\"COM\x01\"}", false},
      {"{\"event\":\"start\",\"time\":\"t\",\"port\":\"COM\xC0\"}", false},
      {"{\"event\":\"start\",\"time\":\"t\",\"port\":\"COM\n5\"}", false},
      {R"({"event":"start","time":"t","port":'COM5'})", false},
      {R"({event:"start","time":"t","port":"COM5"})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":{}})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":true})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":nul})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":01})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":-})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":1.})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":.5})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":1e})", false},
      {R"({"event":"start","time":"t","port":"COM5","a":NaN})", false},
      {R"({"event":"progress","time":"t","port":"COM5","blocks":"1","total":2,"percent":50})",
       false},
      {R"({"event":"progress","time":"t","port":"COM5","blocks":1.5,"total":2,"percent":50})",
       false},
      {R"({"event":"progress","time":"t","port":"COM5","blocks":99999999999,"total":2,"percent":50})",
       false},
      {R"({"event":"progress","time":"t","port":"COM5","blocks":1,"total":2})", false},
      {R"({"event":"progress","time":"t","port":"COM5","blocks":null,"total":2,"percent":50})",
       false},
      {R"({"event":"identified","time":"t","port":"COM5","answer":"A","model":"B"})", false},
      {R"({"event":"result","time":"t","port":"COM5","model":"","firmware":"","offered":"9.1",)"
       R"("result":"no device","blocks":null,"seconds":1e400,"exit_code":2,"reason":""})",
       false},
      {R"({"event":"result","time":"t","port":"COM5","model":"","firmware":"","offered":"9.1",)"
       R"("result":"no device","blocks":null,"seconds":0.5e1,"exit_code":2,"reason":""})",
       true},
      {R"({"event":"result","time":"t","port":"COM5","model":"","firmware":"","offered":"9.1",)"
       R"("result":"no device","blocks":null,"seconds":1.5,"exit_code":2})",
       false},
      {R"({"event":"result","time":"t","port":"COM5","model":"","firmware":"","offered":"9.1",)"
       R"("result":"no device","blocks":null,"seconds":null,"exit_code":2,"reason":""})",
       false},
  };
  for (const LineCase& c : cases) {
    RunEvent e;
    EXPECT_EQ(parse_event_line(c.line, e), c.read) << c.line;
  }
}

}  // namespace
}  // namespace kx
