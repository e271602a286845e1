// FtpListingLine: the FTP client's parsers of one directory listing line
// (internal to the library), in the DOS style of Windows servers and the
// UNIX style of "ls -l". Fields are the blank-separated words of the line.
#pragma once

#include <zerth/CUT_FTPClient.h>

#include <string_view>

namespace zerth::detail {

// "12-25-99  10:30AM  <DIR>  name" or a size for <DIR>. Defaults: month,
// day 1, year 1900, hour 12, minute 0; a missing word keeps its default.
void ParseDosListingLine(std::string_view line, CUT_DIRINFOTag& entry);
// "-rw-r--r-- 1 owner group 1234 Dec 25 10:30 name", with a year for the
// time in older entries (the time means currentYear). Defaults as for DOS
// lines, but hour 0.
void ParseUnixListingLine(std::string_view line, int currentYear, CUT_DIRINFOTag& entry);

}  // namespace zerth::detail
