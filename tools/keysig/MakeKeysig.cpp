// make-keysig INPUT OUTPUT: seals a signature footer text into the key.sig
// file that tarvo reads beside itself (the layout is in
// app/mailing/SignatureFooter.h), under the footer key.
#include "mailing/SignatureFooter.h"

#include <zplatform/AtomicFile.h>
#include <zplatform/WholeFile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

void Complain(const std::string& message) {
  std::fprintf(stderr, "make-keysig: %s\n", message.c_str());
}

// The footer text, or nothing (after saying why) when it is missing, empty,
// longer than tarvo accepts or not a regular file (a FIFO would block, a
// device might never end).
std::optional<std::string> ReadFooter(const std::string& path) {
  std::string text;
  switch (zplatform::ReadWholeFile(path, kMaxFooterLength, text)) {
    case zplatform::WholeFileStatus::Ok: break;
    case zplatform::WholeFileStatus::NotFound:
    case zplatform::WholeFileStatus::CannotOpen:
      Complain("cannot open " + path + ": " + std::strerror(errno));
      return std::nullopt;
    case zplatform::WholeFileStatus::NotRegularFile:
      Complain("cannot read " + path + ": not a regular file");
      return std::nullopt;
    case zplatform::WholeFileStatus::TooLarge:
      Complain(path + " is longer than " + std::to_string(kMaxFooterLength) + " bytes, the most a footer may hold");
      return std::nullopt;
    case zplatform::WholeFileStatus::ReadError:
      Complain("cannot read " + path + ": " + std::strerror(errno));
      return std::nullopt;
  }
  if (text.empty()) {
    Complain(path + " is empty: a footer needs at least one byte");
    return std::nullopt;
  }
  return text;
}

// Replaces the file whole, so a reader never sees half of one; readable by all
// (0644), as the file shipped beside the program.
bool Write(const std::string& path, const std::string& bytes) {
  const zplatform::AtomicWriteResult result = zplatform::WriteFileAtomically(path, bytes, 0644);
  if (result.ok()) return true;
  const std::string what = result.failedStep == zplatform::AtomicWriteStep::CreateTemporary
                               ? "cannot create a file beside " : "cannot write ";
  Complain(what + path + ": " + std::strerror(result.error));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-keysig INPUT.txt OUTPUT.sig\n");
    return 2;
  }
  const std::optional<std::string> footer = ReadFooter(argv[1]);
  if (!footer)
    return 1;
  return Write(argv[2], SealSignatureFooter(*footer, kFooterKey)) ? 0 : 1;
}
