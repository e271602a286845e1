// A delivered message as Python's email package reads it: dump_mail.py's
// "key<TAB>value" lines, with its escapes undone.
#pragma once

#include "TestEnv.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testmail {

// dump_mail.py's output: key -> values in order, escapes undone.
class Dump {
public:
  explicit Dump(const std::string& output) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      const auto tab = line.find('\t');
      if (tab != std::string::npos) m_values[line.substr(0, tab)].push_back(Unescape(line.substr(tab + 1)));
    }
  }
  std::string one(const std::string& key) const {
    const auto found = m_values.find(key);
    return found == m_values.end() || found->second.empty() ? "<missing>" : found->second.front();
  }
  std::vector<std::string> all(const std::string& key) const {
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::vector<std::string>{} : found->second;
  }
  int number(const std::string& key) const { return std::stoi(one(key)); }

private:
  static std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
      out += c == '\0' ? text[i] : c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
  }
  std::map<std::string, std::vector<std::string>> m_values;
};

// With attachmentDir, every attachment's bytes are written there as
// <n>.bin, n counting from 0.
inline Dump DumpMail(const std::filesystem::path& file, const std::filesystem::path& attachmentDir = {}) {
  std::string command = "/usr/bin/python3 " TARVO_SOURCE_DIR "/tests/support/dump_mail.py '" + file.string() + "'";
  if (!attachmentDir.empty()) command += " '" + attachmentDir.string() + "'";
  return Dump(testenv::RunCommand(command));
}

}  // namespace testmail
