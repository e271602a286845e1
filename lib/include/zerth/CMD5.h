// CMD5: the MD5 message digest of RFC 1321 over buffers, byte arrays, open
// files and named files, given as 32 lower-case hexadecimal digits. An object
// holds one running digest for one thread at a time; the static GetMD5 forms
// use a local object each and may run on several threads at once.
#pragma once

#include <zerth/Export.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ZERTH_API CMD5 {
public:
  CMD5();
  CMD5(const CMD5&) = default;
  CMD5& operator=(const CMD5&) = default;
  virtual ~CMD5();

  // Starts a new digest: no input yet, and a digest of 16 zero bytes.
  void Reset();

  // Adds the bytes of the array, in order.
  void Update(const std::vector<unsigned char>& data);

  // Pads the input, stores the digest and returns it as text. The object is
  // not reset: the padding now counts as input, so a second Final (or Update
  // then Final) gives a different text, not the digest of a longer input.
  std::string Final();

  // Sets digest to the 16 bytes of the last Final, or to 16 zero bytes when
  // Final has not run since Reset.
  void GetDigest(std::vector<unsigned char>& digest) const;

  // The digest text of nLength bytes at pBuf (none when pBuf is null).
  static std::string GetMD5(const unsigned char* pBuf, std::uint32_t nLength);

  // The digest text of what the open file descriptor fd gives from its
  // current position, read in pieces of 1024 bytes until a read returns
  // nothing. The descriptor stays open (at its end) and is the caller's.
  // Throws std::system_error with the errno of a failed read (EBADF for a
  // descriptor that is not open); the partial digest is dropped.
  static std::string GetMD5(int fd);

  // The digest text of the named file (a name, not data), read as above.
  // The file is open only during the call, shared with readers but not with
  // a writer that holds its lock (flock). Throws std::system_error when it
  // cannot be opened, carrying open's errno (ENOENT, EACCES, ...),
  // EWOULDBLOCK while a writer holds the lock, or EINVAL for something that
  // is not a regular file (a folder, a device, a FIFO, which could block or
  // never end); a read error is thrown as in the descriptor form.
  static std::string GetMD5(const std::string& strFilePath);

protected:
  // Adds nLength bytes from input (none when input is null).
  void Update(const unsigned char* input, std::uint32_t nLength);

  // Runs the MD5 compression on one 64-byte block into the state.
  void Transform(const unsigned char* block);

  // The four round operations of RFC 1321: A = B + ((A + f(B, C, D) + X + T) <<< S).
  static void FF(std::uint32_t& A, std::uint32_t B, std::uint32_t C, std::uint32_t D, std::uint32_t X,
                 std::uint32_t S, std::uint32_t T) {
    A = B + RotateLeft(A + (D ^ (B & (C ^ D))) + X + T, S);
  }
  static void GG(std::uint32_t& A, std::uint32_t B, std::uint32_t C, std::uint32_t D, std::uint32_t X,
                 std::uint32_t S, std::uint32_t T) {
    // (B & D) and (C & ~D) share no bit, so adding them is their OR, and
    // the two halves can be added in independently.
    A = B + RotateLeft(A + (C & ~D) + X + T + (B & D), S);
  }
  static void HH(std::uint32_t& A, std::uint32_t B, std::uint32_t C, std::uint32_t D, std::uint32_t X,
                 std::uint32_t S, std::uint32_t T) {
    A = B + RotateLeft(A + (B ^ C ^ D) + X + T, S);
  }
  static void II(std::uint32_t& A, std::uint32_t B, std::uint32_t C, std::uint32_t D, std::uint32_t X,
                 std::uint32_t S, std::uint32_t T) {
    A = B + RotateLeft(A + (C ^ (B | ~D)) + X + T, S);
  }

  static std::uint32_t RotateLeft(std::uint32_t x, std::uint32_t n) { return (x << n) | (x >> ((32 - n) & 31)); }

  // Little-endian conversions: nLength bytes of input into nLength / 4
  // words, and nLength / 4 words into nLength bytes.
  static void ByteToDWord(std::uint32_t* output, const unsigned char* input, std::uint32_t nLength);
  static void DWordToByte(unsigned char* output, const std::uint32_t* input, std::uint32_t nLength);

private:
  // The compression over count whole blocks from data into state: Update's
  // way, without a copy or a call per block.
  static void TransformBlocks(std::uint32_t* state, const unsigned char* data, std::size_t count);

  unsigned char m_aBuffer[64];  // input not yet processed: a partial block
  unsigned char m_aDigest[16];  // the digest of the last Final
  std::uint32_t m_nCount[2];    // bits of input so far, low word first
  std::uint32_t m_nState[4];    // the running state A, B, C, D
};
