// The summary of an unattended run: one JSON line per device, appended as the device's run
// ends ("/summary=FILE"), e.g.
// {"time":"2026-12-08T05:10:44.120+03:00","port":"COM5","model":"VKD7","firmware":"9.0",
//  "offered":"9.1","result":"updated","blocks":508,"seconds":35.4,"exit_code":0,"reason":""}
// (one line in the file), followed, where known, by "selector" (the entry that named the
// adapter) and the adapter's "usb" ("0403:6001"), "serial", "location" and "interface".
// Texts are ASCII: a quote and a backslash escaped, line ends and tabs as \r \n \t, every other
// byte outside printable ASCII as the six characters \u00NN.
#pragma once

#include <string>

#include "app/run_record.hpp"

namespace kx {

class UpdateLog;

// The record as one JSON object and a line end.
std::string summary_line(const RunRecord& record);

// The object's fields alone, without braces: "\"time\":...,\"reason\":\"...\"".
std::string summary_fields(const RunRecord& record);

// "" when the summary can go to `path`: not a device name, and the file opens for appending
// as a disk file (it is created, empty, if it was not there). Else why not.
std::string check_summary_path(const std::string& path);

// Appends the record's line to the file at `path` under the file's lock; "" or why not.
std::string write_summary(const std::string& path, const RunRecord& record);

// The record's line appended to the summary at `path` (empty: no summary, nothing to do); a line
// that cannot be is logged as "the summary line is lost: <why>", after `heading` ("COM5: ").
// False when the line is lost.
bool append_summary_line(const std::string& path, const RunRecord& record, UpdateLog& log,
                         const std::string& heading = {});

// The exit code of a run that ended with `code` and whose summary line was `written` or lost: an
// update without its record is not reported as a plain success (4); a failure's code says more
// than the lost line and stays.
int code_with_summary(int code, bool written);

}  // namespace kx
