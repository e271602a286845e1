// A command line split into program and arguments the way a shell splits a
// simple command, without running a shell: no variables, globs or pipes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mapi32 {

// Words are separated by blanks (space, tab, newline). Inside '...' every
// character stands for itself; inside "..." a backslash quotes only " and \;
// outside quotes a backslash quotes the next character. Nothing when a quote
// is not closed or the line ends in a lone backslash.
std::optional<std::vector<std::string>> SplitCommandWords(std::string_view line);

}  // namespace mapi32
