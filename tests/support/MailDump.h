// A message as Python's email package reads it: dump_mail.py's
// "key<TAB>value" lines, with its escapes undone.
#pragma once

#include "TestEnv.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testmail {

class Dump {
public:
  explicit Dump(const std::string& output) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      const auto tab = line.find('\t');
      if (tab == std::string::npos) continue;
      std::string& value = m_values[line.substr(0, tab)].emplace_back();
      for (std::size_t i = tab + 1; i < line.size(); ++i) {
        const char c = line[i] == '\\' && i + 1 < line.size() ? line[++i] : '\0';
        value += c == '\0' ? line[i] : c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
    }
  }
  // The first value of key, "<missing>" without one.
  std::string one(const std::string& key) const {
    const std::vector<std::string> values = all(key);
    return values.empty() ? "<missing>" : values.front();
  }
  std::vector<std::string> all(const std::string& key) const {
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::vector<std::string>{} : found->second;
  }
  int number(const std::string& key) const { return std::stoi(one(key)); }

private:
  std::map<std::string, std::vector<std::string>> m_values;
};

// With attachmentDir, every attachment's bytes go there as <n>.bin, n from 0.
inline Dump DumpMail(const std::filesystem::path& file, const std::filesystem::path& attachmentDir = {}) {
  std::string command = "/usr/bin/python3 " TARVO_SOURCE_DIR "/tests/support/dump_mail.py '" + file.string() + "'";
  if (!attachmentDir.empty()) command += " '" + attachmentDir.string() + "'";
  return Dump(testenv::RunCommand(command));
}

}  // namespace testmail
