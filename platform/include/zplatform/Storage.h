// OLE structured storage over our own reader and writer of the Compound File
// Binary format: StgCreateDocfile and StgOpenStorage hand out the root
// IStorage of a compound file; storages hold sub-storages and IStreams.
//
// How it behaves on Linux:
// - Files are written as version 3 (512-byte sectors); versions 3 and 4
//   (4096-byte sectors) are read.
// - Changes reach the file on Commit (of any storage or stream of the file)
//   and when the root is released, unless the root was opened with
//   STGM_TRANSACTED, in which case a release without Commit discards them, as
//   Revert does. A release cannot report a failed commit: call Commit first
//   to learn of one (a full disk, a folder that cannot be written). A commit
//   writes the whole compound file anew beside the target, syncs it and
//   renames it over the target: a crash at any moment leaves the previous
//   file or the new one, never a mix. Space freed by
//   deleted elements is reclaimed by that rewrite. The new file keeps the old
//   one's permissions; a symbolic link at the path is replaced by the file.
// - Stream data written and not yet committed waits in an unlinked scratch
//   file, not in memory, so a stream of any size takes little memory.
// - Share modes are flock(2) locks on the file: writers and openers that deny
//   writing or reading take an exclusive lock, readers that deny writing a
//   shared one, readers that deny nothing none; a conflict gives
//   STG_E_SHAREVIOLATION at once (no waiting).
// - Sub-storages and streams must be opened with STGM_SHARE_EXCLUSIVE (as on
//   Windows) and only once at a time. Element names are 1 to 31 UTF-16
//   characters without '/', '\\', ':' or '!', compared without regard to case.
// - The objects of one compound file are used by one thread at a time.
//
// Self-contained: needs only zplatform/Com.h and zplatform/WinTypes.h.
#pragma once

#include <zplatform/Com.h>
#include <zplatform/WinTypes.h>

#include <cstdint>
#include <cstdlib>

// Open modes: one access mode, one share mode, and the flags below.
inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_PRIORITY = 0x00040000;
inline constexpr DWORD STGM_CREATE = 0x00001000;
inline constexpr DWORD STGM_CONVERT = 0x00020000;
inline constexpr DWORD STGM_FAILIFTHERE = 0x00000000;
inline constexpr DWORD STGM_DIRECT = 0x00000000;
inline constexpr DWORD STGM_TRANSACTED = 0x00010000;
inline constexpr DWORD STGM_NOSCRATCH = 0x00100000;
inline constexpr DWORD STGM_NOSNAPSHOT = 0x00200000;
inline constexpr DWORD STGM_SIMPLE = 0x08000000;
inline constexpr DWORD STGM_DIRECT_SWMR = 0x00400000;
inline constexpr DWORD STGM_DELETEONRELEASE = 0x04000000;

// Commit flags: accepted and all treated alike (the whole file is written).
inline constexpr DWORD STGC_DEFAULT = 0;
inline constexpr DWORD STGC_OVERWRITE = 1;
inline constexpr DWORD STGC_ONLYIFCURRENT = 2;
inline constexpr DWORD STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE = 4;

inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;

inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = static_cast<HRESULT>(0x80030002u);
inline constexpr HRESULT STG_E_PATHNOTFOUND = static_cast<HRESULT>(0x80030003u);
inline constexpr HRESULT STG_E_TOOMANYOPENFILES = static_cast<HRESULT>(0x80030004u);
inline constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
inline constexpr HRESULT STG_E_INVALIDHANDLE = static_cast<HRESULT>(0x80030006u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = static_cast<HRESULT>(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009u);
inline constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
inline constexpr HRESULT STG_E_SHAREVIOLATION = static_cast<HRESULT>(0x80030020u);
inline constexpr HRESULT STG_E_LOCKVIOLATION = static_cast<HRESULT>(0x80030021u);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = static_cast<HRESULT>(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = static_cast<HRESULT>(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDHEADER = static_cast<HRESULT>(0x800300FBu);
inline constexpr HRESULT STG_E_INVALIDNAME = static_cast<HRESULT>(0x800300FCu);
inline constexpr HRESULT STG_E_UNIMPLEMENTEDFUNCTION = static_cast<HRESULT>(0x800300FEu);
inline constexpr HRESULT STG_E_INVALIDFLAG = static_cast<HRESULT>(0x800300FFu);
inline constexpr HRESULT STG_E_REVERTED = static_cast<HRESULT>(0x80030102u);
inline constexpr HRESULT STG_E_DOCFILECORRUPT = static_cast<HRESULT>(0x80030109u);

// 100-nanosecond intervals since 1601-01-01 UTC, as stored in the file.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct LARGE_INTEGER {
  std::int64_t QuadPart;
};
struct ULARGE_INTEGER {
  std::uint64_t QuadPart;
};

// What Stat reports. pwcsName (unless STATFLAG_NONAME) is allocated with
// CoTaskMemAlloc and belongs to the caller, who frees it with CoTaskMemFree.
struct STATSTG {
  OLECHAR* pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

// The task allocator: inline so that a program using only these headers
// frees what the platform allocated with the same allocator.
inline void* CoTaskMemAlloc(std::size_t cb) { return std::malloc(cb == 0 ? 1 : cb); }
inline void CoTaskMemFree(void* pv) { std::free(pv); }

using SNB = OLECHAR**;

class IStream : public IUnknown {
public:
  // Reads up to cb bytes at the seek pointer; fewer (S_OK) at the end.
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  // Writes cb bytes at the seek pointer, growing the stream as needed.
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
  // Moves the seek pointer; a position before the start is
  // STG_E_INVALIDFUNCTION, one past the end is allowed.
  virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  // Cuts or extends (with zero bytes) the stream.
  virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
  // Writes the whole compound file (see the top of this file).
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;

protected:
  ~IStream() = default;
};

class IStorage : public IUnknown {
public:
  // reserved1 and reserved2 must be 0. STGM_CREATE replaces an element of
  // that name (a stream or a storage); without it an existing one gives
  // STG_E_FILEALREADYEXISTS.
  virtual HRESULT CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                               IStream** ppstm) = 0;
  // reserved1 must be null and reserved2 0. STG_E_FILENOTFOUND when there is
  // no stream of that name.
  virtual HRESULT OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                             IStream** ppstm) = 0;
  virtual HRESULT CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                IStorage** ppstg) = 0;
  // pstgPriority and snbExclude must be null, reserved 0.
  virtual HRESULT OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                              DWORD reserved, IStorage** ppstg) = 0;
  // Writes the whole compound file (see the top of this file).
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  // Under STGM_TRANSACTED: back to the file as last committed; every other
  // object of the file then answers STG_E_REVERTED. Otherwise S_OK and no
  // change.
  virtual HRESULT Revert() = 0;
  // Removes a stream, or a storage with everything below it. Objects still
  // open on what was removed answer STG_E_REVERTED from then on.
  virtual HRESULT DestroyElement(const OLECHAR* pwcsName) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;

protected:
  ~IStorage() = default;
};

inline constexpr IID IID_IStorage = {0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Creates a compound file at pwcsName (UTF-16 path). Without STGM_CREATE an
// existing file gives STG_E_FILEALREADYEXISTS; with it the file is replaced
// (at the first commit; until then the old file stays as it was). The mode
// needs write access. *ppstgOpen is null after any failure.
HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);

// Opens the compound file at pwcsName. A file that is not a compound file
// gives STG_E_FILEALREADYEXISTS (as on Windows), a damaged header
// STG_E_INVALIDHEADER, other damage STG_E_DOCFILECORRUPT (streams whose own
// chains are damaged fail when opened or read). pstgPriority and snbExclude
// must be null, reserved 0.
HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage** ppstgOpen);
