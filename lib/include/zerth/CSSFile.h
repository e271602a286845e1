// CSSFile: a navigator over a compound file (OLE structured storage). It
// opens or creates the file, keeps a stack of the storages entered below the
// root (the top is the current storage), creates and opens streams and
// sub-storages there, deletes elements, and names the current position as a
// path. The compound-file machinery is the platform's (zplatform/Storage.h);
// streams are handed out through COleStreamFile (zplatform/OleStreamFile.h).
//
// Texts are UTF-8. Every operation that fails returns false (or an empty
// text, or null) and keeps no error code. Operations that need a current
// storage fail that way while the stack is empty (nothing open, nothing
// attached). Element names longer than 259 UTF-16 characters fail without
// being passed on (the format itself allows 31). The object cannot be copied:
// a copy would share the storages without holding references to them.
#pragma once

#include <zerth/Export.h>
#include <zplatform/OleStreamFile.h>
#include <zplatform/Storage.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ZERTH_API CSSFile {
public:
  // Default modes of the operations below.
  static constexpr unsigned long kOpenMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  static constexpr unsigned long kCreateFileMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE;
  static constexpr unsigned long kStorageMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  static constexpr std::uint32_t kCreateStreamMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE;
  static constexpr std::uint32_t kOpenStreamMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  // The longest element name passed on, in UTF-16 characters.
  static constexpr std::size_t kMaxNameChars = 259;

  // Nothing open, empty name.
  CSSFile();
  // Calls Close.
  virtual ~CSSFile();
  CSSFile(const CSSFile&) = delete;
  CSSFile& operator=(const CSSFile&) = delete;

  // Closes whatever is open, then opens the compound file name with mode
  // (StgOpenStorage). True: open, GetFilename() == name, the root current.
  // False: nothing open, empty name.
  bool OpenSSFile(const std::string& name, unsigned long mode = kOpenMode);
  // The same with StgCreateDocfile.
  bool CreateSSFile(const std::string& name, unsigned long mode = kCreateFileMode);
  // If open: leaves every entered storage, releases the root, empties the
  // stack. Always: not open, empty name.
  void Close();

  // Leaves every entered storage and makes storage the root and the only
  // entry; returns the previous root, neither released nor kept. The open
  // flag and name stay as they were, so Close releases the attached storage
  // only if a file was open when it was attached.
  IStorage* Attach(IStorage* storage);
  // Leaves every entered storage and hands the root, still referenced, to the
  // caller; nothing is open afterwards and the name is empty.
  IStorage* Detach();

  // Creates the sub-storage name in the current storage; enters it when
  // enter is true, else releases it at once. A failure leaves the stack as
  // it was.
  bool CreateStorage(const std::string& name, bool enter = true, unsigned long mode = kStorageMode);
  // Opens the sub-storage name of the current storage and makes it current.
  bool EnterStorage(const std::string& name, unsigned long mode = kStorageMode);
  // Back to the storage below the current one: false, and no change, at the
  // root or with nothing open.
  bool ExitStorage();

  // Creates (or opens) the stream name in the current storage through
  // file's own operation; the stream then belongs to file.
  bool CreateStream(const std::string& name, COleStreamFile& file, std::uint32_t mode = kCreateStreamMode);
  bool OpenStream(const std::string& name, COleStreamFile& file, std::uint32_t mode = kOpenStreamMode);
  // Deletes the stream or storage name (with everything in it) from the
  // current storage.
  bool DestroyElement(const std::string& name);

  bool IsOpen() const { return m_bOpen; }
  std::string GetFilename() const { return m_sFileName; }
  IStorage* GetRootStorage() const { return m_pRootStorage; }
  // The top of the stack; null while it is empty.
  IStorage* GetCurrentStorage() const;

  // The file name, then the name of each entered storage from the root up,
  // each followed by separator: "/data/x.stg/A/B/" with "/" in A, then B;
  // "/data/x.stg/" at the root. Empty while the stack is empty.
  std::string GetPath(const std::string& separator) const;

private:
  void ExitAllStorages();
  // Makes root, just opened or created as name, the file's root storage; a
  // failed open or create leaves the object closed.
  bool TakeRoot(HRESULT result, IStorage* root, const std::string& name);

  bool m_bOpen = false;
  std::string m_sFileName;
  IStorage* m_pRootStorage = nullptr;
  std::vector<IStorage*> m_aStorageStack;  // bottom: the root; back: current
};
