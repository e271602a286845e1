// Shell-like word splitting, quotes and backslashes only.
#include "CommandWords.h"

namespace mapi32 {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

class WordSplitter {
public:
  explicit WordSplitter(std::string_view line) : m_rest(line) {}

  std::optional<std::vector<std::string>> split() {
    while (!m_rest.empty()) {
      char c = take();
      if (IsBlank(c)) {
        endWord();
      } else if (c == '\'') {
        if (!singleQuoted()) return std::nullopt;
      } else if (c == '"') {
        if (!doubleQuoted()) return std::nullopt;
      } else if (c == '\\') {
        if (m_rest.empty()) return std::nullopt;
        append(take());
      } else {
        append(c);
      }
    }
    endWord();
    return std::move(m_words);
  }

private:
  char take() {
    char c = m_rest.front();
    m_rest.remove_prefix(1);
    return c;
  }
  // An empty pair of quotes is a word of its own.
  void append(char c) {
    m_word += c;
    m_inWord = true;
  }
  void endWord() {
    if (m_inWord) m_words.push_back(std::move(m_word));
    m_word.clear();
    m_inWord = false;
  }
  bool singleQuoted() {
    m_inWord = true;
    while (!m_rest.empty()) {
      char c = take();
      if (c == '\'') return true;
      m_word += c;
    }
    return false;
  }
  bool doubleQuoted() {
    m_inWord = true;
    while (!m_rest.empty()) {
      char c = take();
      if (c == '"') return true;
      if (c == '\\' && !m_rest.empty() && (m_rest.front() == '"' || m_rest.front() == '\\')) c = take();
      m_word += c;
    }
    return false;
  }

  std::string_view m_rest;
  std::string m_word;
  bool m_inWord = false;
  std::vector<std::string> m_words;
};

}  // namespace

std::optional<std::vector<std::string>> SplitCommandWords(std::string_view line) {
  return WordSplitter(line).split();
}

}  // namespace mapi32
