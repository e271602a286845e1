// CContactFileReader: turns a contact text file (one contact per line, in one
// of three layouts with a chosen separator) into contacts, and counts the
// lines it read and the ones it took. It owns the file while it reads it;
// lines come from CTextLineReader, whose header says what a line is.
#pragma once

#include "CContact.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CContactFileReader {
public:
  // The layouts, by their index in the import dialog's file type list.
  enum Layout : int {
    kAddressOnly = 0,      // the whole line is the address and the name
    kAddressThenName = 1,  // address, separator, name
    kNameThenAddress = 2,  // name, separator, address
  };

  enum class Status {
    Completed,   // the whole file was read
    CannotOpen,  // no such file, no permission, an empty path, not a regular file
    ReadError,   // the system reported an error while reading
    BadLayout,   // a non-empty line was met with a layout outside 0 to 2
  };

  struct Result {
    Status status = Status::Completed;
    // In file order, duplicates kept; both fields trimmed.
    std::vector<CContact> contacts;
    // Every line read so far, blank ones included.
    std::int64_t lineCount = 0;

    std::int64_t ImportedCount() const { return static_cast<std::int64_t>(contacts.size()); }
    std::int64_t IgnoredCount() const { return lineCount - ImportedCount(); }
  };

  // layout is taken as an int because any index may come from the list; the
  // separator is used as given (not trimmed), and may be empty.
  CContactFileReader(int layout, std::string separator);

  // Reads the file at path, sharing it with any other reader or writer.
  [[nodiscard]] Result Read(const std::string& path) const;

private:
  enum class LineOutcome { Contact, Ignored, BadLayout };

  // Splits one trimmed, non-empty line by the layout into contact.
  LineOutcome SplitLine(std::string_view line, CContact& contact) const;
  // Reads lines from an open file into result until the end or a failure.
  void ReadLines(int fd, Result& result) const;

  int m_nLayout;
  std::string m_sSeparator;
};
