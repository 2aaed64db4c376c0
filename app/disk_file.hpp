// Whether a path may be written as a log (or another record the user names): only a disk file.
// A device (a serial port named as a log would receive the log's lines), a pipe or a folder is
// refused, first by the name alone, then by what the path names now, without opening it; the
// file's opening checks the handle once more (log_file_*.cpp).
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Why `path` cannot be written as a disk file ("names a device", "names a folder", ...); empty
// when it can (a plain file, or nothing yet).
std::string disk_file_problem(const std::string& path);

// By the name alone, before anything is opened: a Windows device name as the last part of the
// path (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9 and COM/LPT with a superscript
// 1, 2 or 3, in any letter case, with or without an extension, trailing dots and blanks
// ignored), a device path ("\\.\", "\\?\" other than a drive or a share, "\??\", "\Device\",
// "\DosDevices\", "\GLOBAL??\", "\GLOBALROOT\"), a stream of a file (a colon after the drive),
// a name that ends with a separator. Empty when the name is a file's. Names are UTF-8.
std::string disk_file_name_problem(std::string_view path);

// What the path names now (platform part, disk_file_*.cpp): empty when nothing or a plain file.
std::string existing_file_problem(const std::string& path);

// Platform part: a text that is the same for two paths exactly when they name the same file
// (Windows: the full path with its long names, in any letter case; POSIX: the file itself when it
// exists, else the full path of its folder and its name).
std::string file_identity(const std::string& path);

}  // namespace kx
