// The "outbox" transport: every message becomes one file in a Maildir folder
// that any mail program can read. No network, no logon.
#pragma once

#include "Transport.h"

#include <string>
#include <string_view>

namespace mapi32 {

class OutboxTransport : public Transport {
public:
  explicit OutboxTransport(std::string folder) : m_folder(std::move(folder)) {}

  // Creates the folder with tmp/, new/ and cur/ (mode 0700) when missing,
  // removes regular files left in tmp/ for over 36 hours, writes the message to tmp/ under a unique name, syncs it and links it into
  // new/. On any failure the file in tmp/ is removed, nothing appears in new/,
  // and MapiError(MAPI_E_FAILURE) is thrown after one line on stderr.
  void deliver(const OutgoingMail& mail) override;

  // A Maildir file name: "<sec>.M<usec>P<pid>Q<counter>.<host>", unique for
  // this host as long as the clock does not go back within one process.
  static std::string UniqueName();

private:
  void makeMaildir() const;
  void writeSynced(const std::string& path, std::string_view data) const;
  void publish(const std::string& tmpPath, const std::string& newPath) const;

  std::string m_folder;
};

}  // namespace mapi32
