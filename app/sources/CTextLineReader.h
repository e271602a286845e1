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
// - Lines have no length limit; the work and memory are linear in the file's
//   size, whatever the length of its lines.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class CTextLineReader {
public:
  static constexpr std::size_t kDefaultChunkSize = 64 * 1024;

  enum class Next {
    Line,   // a line was read into the caller's string
    End,    // no more lines
    Error,  // the system reported a read error; nothing more will be read
  };

  // Reads from fd, which must stay open while the reader is used. chunkSize
  // (at least 1) is the most that one read asks for.
  explicit CTextLineReader(int fd, std::size_t chunkSize = kDefaultChunkSize);
  ~CTextLineReader();
  CTextLineReader(const CTextLineReader&) = delete;
  CTextLineReader& operator=(const CTextLineReader&) = delete;

  // The next line without its line end, replacing line's content.
  [[nodiscard]] Next ReadLine(std::string& line);

private:
  // Reads the next chunk; false at the end of the file or on an error.
  bool Fill();

  int m_fd;
  std::size_t m_nChunkSize;
  std::unique_ptr<char[]> m_pBuffer;
  std::size_t m_nPos = 0;  // first unread byte in the buffer
  std::size_t m_nEnd = 0;  // one past the last byte read into the buffer
  bool m_bError = false;
};
