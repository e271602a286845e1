// One open compound file: its tree of elements in memory, where each
// stream's bytes are (in the file as last committed, or in the scratch
// file), the lock that stands for the share mode, and the commit that writes
// the whole file anew and renames it over the old one.
#pragma once

#include "CompoundFileFormat.h"
#include "CompoundScratch.h"

#include <zplatform/Storage.h>
#include <zplatform/UniqueFd.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zplatform::cfb {

// A run of bytes in the committed file.
struct Extent {
  std::uint64_t offset;
  std::uint64_t length;
};

class OutputFile;
struct Node;
using NodePtr = std::shared_ptr<Node>;

struct Node {
  // Where a stream's bytes are.
  enum class Data {
    Unread,   // in the committed file; its chain not yet followed (start, mini)
    Base,     // in the committed file at extents
    Scratch,  // in the scratch file's pages
  };

  std::u16string name;
  EntryType type = EntryType::Stream;
  CLSID clsid{};
  std::uint32_t stateBits = 0;
  std::uint64_t ctime = 0;
  std::uint64_t mtime = 0;
  std::map<std::u16string, NodePtr, NameOrder> children;  // storages only

  std::uint64_t size = 0;
  Data data = Data::Base;
  std::uint32_t start = kEndOfChain;
  bool mini = false;
  std::vector<Extent> extents;
  PageList pages;

  bool open = false;  // an object holds it (elements open exclusively)
  bool gone = false;  // destroyed or reverted: objects on it answer STG_E_REVERTED
};

// The tables of the committed file needed to find a stream's sectors.
struct BaseLayout {
  unsigned sectorShift = 9;
  std::uint64_t sectorCount = 0;
  std::vector<std::uint32_t> fat;
  std::vector<std::uint32_t> miniFat;
  std::vector<std::uint32_t> containerSectors;  // the mini stream's sectors
  std::uint64_t containerSize = 0;
};

class Document {
public:
  // Opens or creates the file at path (UTF-8) with an STGM mode already
  // checked by the caller.
  [[nodiscard]] static HRESULT Open(const std::string& path, DWORD mode, std::shared_ptr<Document>& out);
  [[nodiscard]] static HRESULT Create(const std::string& path, DWORD mode, std::shared_ptr<Document>& out);

  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  ~Document();

  const NodePtr& root() const { return m_root; }
  DWORD mode() const { return m_mode; }
  bool writable() const { return m_writable; }
  bool closed() const { return m_closed; }
  const std::string& path() const { return m_path; }
  void MarkModified() { m_modified = true; }

  [[nodiscard]] HRESULT Commit();
  // Back to the file as last committed (transacted mode only).
  [[nodiscard]] HRESULT Revert();
  // The root's last reference went: commit unless transacted, then close.
  void Close();

  [[nodiscard]] HRESULT ReadStream(Node& node, std::uint64_t offset, void* data, std::size_t size,
                                   std::size_t& got);
  [[nodiscard]] HRESULT WriteStream(Node& node, std::uint64_t offset, const void* data, std::size_t size);
  [[nodiscard]] HRESULT SetStreamSize(Node& node, std::uint64_t size);
  // The stream's sectors followed and checked (on opening it).
  [[nodiscard]] HRESULT Resolve(Node& node);
  // Marks node and everything below it gone and frees their scratch pages.
  void Discard(Node& node);

  // For the writer: appends a stream's bytes to the output.
  [[nodiscard]] HRESULT CopyStream(Node& node, OutputFile& out);

private:
  Document(std::string path, DWORD mode);
  [[nodiscard]] HRESULT LoadBase();
  [[nodiscard]] HRESULT MakeScratch(Node& node);
  // After a commit: no stream has bytes anywhere until placed in the new file.
  static void ForgetData(Node& node);
  [[nodiscard]] HRESULT WriteNewFile(int fd, std::vector<std::pair<Node*, std::uint64_t>>& placed);

  std::string m_path;
  DWORD m_mode;
  bool m_writable;
  bool m_transacted;
  bool m_modified = false;
  bool m_closed = false;
  int m_lock = 0;  // the flock operation held (0: none)
  UniqueFd m_base;
  BaseLayout m_layout;
  CompoundScratch m_scratch;
  NodePtr m_root;
};

}  // namespace zplatform::cfb
