// CTextLineReader: reads an open file line by line as a text-mode stream
// does, in fixed-size chunks. It owns its chunk buffer, not the descriptor.
//
// What a line is, for any bytes at all (the file need not be text):
// - A line ends at LF; a CR directly before that LF belongs to the line end
//   (CR LF and LF files read alike). A last line without LF is still a line;
//   an empty file, or the end after a final LF, gives no further line.
// - Other bytes are kept as they are: our text is 8-bit, so bytes that are
//   not valid UTF-8 stay in the line unchanged.
// - A NUL byte ends the line's text, as it ends any C string of the system:
//   the bytes after it up to the line end are skipped, and the next line
//   starts after the LF as usual. A line that begins with NUL is empty.
// - A line longer than the reader's limit (its text, without the line end)
//   is not kept: it comes out as TooLong, with an empty string, and reading
//   goes on after its line end. The reader never holds more than the limit
//   and one chunk, however long a line is; the work is linear in the file's
//   size.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class CTextLineReader {
public:
  static constexpr std::size_t kDefaultChunkSize = 64 * 1024;
  // Far above any real line of a contact file, far below what a stray
  // binary or hostile file could make us hold.
  static constexpr std::size_t kDefaultMaxLineLength = 64 * 1024;

  enum class Next {
    Line,     // a line was read into the caller's string
    TooLong,  // a line over the limit was skipped; the string is empty
    End,      // no more lines
    Error,    // the system reported a read error; nothing more will be read
  };

  // Reads from fd, which must stay open while the reader is used. chunkSize
  // (at least 1) is the most that one read asks for; maxLineLength the
  // longest line text that is kept.
  explicit CTextLineReader(int fd, std::size_t chunkSize = kDefaultChunkSize,
                           std::size_t maxLineLength = kDefaultMaxLineLength);
  ~CTextLineReader();
  CTextLineReader(const CTextLineReader&) = delete;
  CTextLineReader& operator=(const CTextLineReader&) = delete;

  // The next line without its line end, replacing line's content.
  [[nodiscard]] Next ReadLine(std::string& line);

private:
  // Reads the next chunk; false at the end of the file or on an error.
  bool Fill();

  // Line or TooLong for the text gathered when the line has ended.
  Next Finish(std::string& line, bool tooLong) const;

  int m_fd;
  std::size_t m_nChunkSize;
  std::size_t m_nMaxLineLength;
  std::unique_ptr<char[]> m_pBuffer;
  std::size_t m_nPos = 0;  // first unread byte in the buffer
  std::size_t m_nEnd = 0;  // one past the last byte read into the buffer
  bool m_bError = false;
};
