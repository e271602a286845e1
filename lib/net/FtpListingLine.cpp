// FtpListingLine: word by word, every number read as atol would but
// saturating, every copy within the entry's buffers.
#include "FtpListingLine.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>

namespace zerth::detail {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Word index (from 0) of text split at any of separators, runs of them
// counting as one; nothing when the text has fewer words.
std::optional<std::string_view> Word(std::string_view text, std::string_view separators, int index) {
  std::size_t pos = 0;
  for (int i = 0;; ++i) {
    pos = text.find_first_not_of(separators, pos);
    if (pos == std::string_view::npos) return std::nullopt;
    const std::size_t end = std::min(text.find_first_of(separators, pos), text.size());
    if (i == index) return text.substr(pos, end - pos);
    pos = end;
  }
}

// The number at the start of text as atol reads it (blanks, a sign,
// digits; 0 without digits), held within long.
long Number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

int IntNumber(std::string_view text) {
  return static_cast<int>(std::clamp<long>(Number(text), INT_MIN, INT_MAX));
}

void SetNumber(std::optional<std::string_view> word, int& field) {
  if (word) field = IntNumber(*word);
}

void Reset(CUT_DIRINFOTag& entry, int hour) {
  entry = CUT_DIRINFOTag{};
  entry.day = 1;
  entry.month = 1;
  entry.year = 1900;
  entry.hour = hour;
}

void SetName(std::optional<std::string_view> word, CUT_DIRINFOTag& entry) {
  if (!word) return;
  const std::size_t length = std::min(word->size(), sizeof entry.fileName - 1);
  std::memcpy(entry.fileName, word->data(), length);
  entry.fileName[length] = '\0';
}

int MonthOfName(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  if (name.size() != 3) return 1;
  for (std::size_t m = 0; m < kMonths.size(); ++m) {
    bool same = true;
    for (std::size_t i = 0; i < 3; ++i) same = same && (name[i] | 0x20) == kMonths[m][i];
    if (same) return static_cast<int>(m) + 1;
  }
  return 1;
}

// "mm-dd-yy": two digits after 69 are 19yy, else 20yy; four digits are the
// year itself (servers set to four-digit years).
void SetDosDate(std::string_view date, CUT_DIRINFOTag& entry) {
  SetNumber(Word(date, "-", 0), entry.month);
  SetNumber(Word(date, "-", 1), entry.day);
  const auto year = Word(date, "-", 2);
  if (year && year->size() == 4 && std::all_of(year->begin(), year->end(), IsDigit)) {
    entry.year = IntNumber(*year);
  } else if (date.size() > 6) {
    const int y = IntNumber(date.substr(6, 2));
    entry.year = y >= 70 ? 1900 + y : 2000 + y;
  }
}

// "hh:mmAM": the hour before ':', the minute in the two characters after it.
void SetDosTime(std::string_view time, CUT_DIRINFOTag& entry) {
  if (!time.empty() && time.front() != ':') SetNumber(Word(time, ":", 0), entry.hour);
  const std::size_t colon = time.find(':');
  if (colon != std::string_view::npos && colon + 1 < time.size()) entry.minute = IntNumber(time.substr(colon + 1, 2));
}

}  // namespace

void ParseDosListingLine(std::string_view line, CUT_DIRINFOTag& entry) {
  Reset(entry, 12);
  SetName(Word(line, " ", 3), entry);
  if (const auto sizeOrDir = Word(line, " ", 2)) {
    entry.isDir = sizeOrDir->size() > 1 && ((*sizeOrDir)[1] == 'd' || (*sizeOrDir)[1] == 'D');
    entry.fileSize = Number(*sizeOrDir);
  }
  if (const auto date = Word(line, " ", 0)) SetDosDate(*date, entry);
  if (const auto time = Word(line, " ", 1)) SetDosTime(*time, entry);
}

void ParseUnixListingLine(std::string_view line, int currentYear, CUT_DIRINFOTag& entry) {
  Reset(entry, 0);
  SetName(Word(line, " ", 8), entry);
  entry.isDir = !line.empty() && (line[0] == 'd' || line[0] == 'D');
  if (const auto size = Word(line, " ", 4)) entry.fileSize = Number(*size);
  if (const auto month = Word(line, " ", 5)) entry.month = MonthOfName(*month);
  SetNumber(Word(line, " ", 6), entry.day);
  const auto timeOrYear = Word(line, " ", 7);
  if (!timeOrYear) return;
  const std::size_t colon = timeOrYear->find(':');
  if (colon == std::string_view::npos) {
    entry.year = IntNumber(*timeOrYear);
    return;
  }
  entry.year = currentYear;
  if (colon > 0) entry.hour = IntNumber(timeOrYear->substr(0, colon));
  if (colon + 1 < timeOrYear->size()) entry.minute = IntNumber(timeOrYear->substr(colon + 1));
}

}  // namespace zerth::detail
