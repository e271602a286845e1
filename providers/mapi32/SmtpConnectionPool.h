// The connection the smtp transport keeps between the messages of a run:
// one MAPISendMail call per message would otherwise mean a TCP connection, a
// TLS handshake and a logon per message, which providers throttle. The
// module stays loaded for the whole process (-z nodelete), so the connection
// outlives each call; it is closed after kIdle without a message, and at exit.
#pragma once

#include "CurlEasy.h"
#include "MailAccount.h"
#include "SmtpLogon.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace mapi32 {

// A libcurl handle whose connection cache holds a connection logged on with
// credentials. Destroying it closes the connection (QUIT, briefly awaited)
// and wipes the password.
struct SmtpConnection {
  SmtpConnection(std::string key, SmtpLogon::Credentials credentials);
  ~SmtpConnection();
  SmtpConnection(SmtpConnection&&) = default;
  SmtpConnection& operator=(SmtpConnection&&) = default;

  std::string key;  // SmtpConnectionKey of the settings it was opened with
  SmtpLogon::Credentials credentials;
  CurlEasy curl;
};

// Everything that decides the connection and its logon: another value of
// any of them means another connection.
std::string SmtpConnectionKey(const SmtpSettings& settings);

class SmtpConnectionPool {
public:
  // A run's messages follow each other within a second or so; a server
  // drops an idle client after minutes, and holding one longer than a run
  // needs only ties up the server.
  static constexpr std::chrono::seconds kIdle{10};

  // Initialises libcurl first, so that its clean-up at exit comes after the
  // pool's.
  static SmtpConnectionPool& Instance();

  SmtpConnectionPool(const SmtpConnectionPool&) = delete;
  SmtpConnectionPool& operator=(const SmtpConnectionPool&) = delete;
  ~SmtpConnectionPool();

  // The kept connection when it was opened under key, for the caller alone
  // until it gives it back with keep; one kept under another key is closed.
  std::optional<SmtpConnection> take(const std::string& key);

  // Keeps a connection that just delivered for the next message; a
  // connection kept before (by another thread) is closed.
  void keep(SmtpConnection connection);

  // Waits until the next message may start when at most perMinute may start
  // in any minute (0: no limit): starts are spaced 60/perMinute seconds.
  void pace(long perMinute);

  // Whether the server under key stayed out of reach through the last
  // message's whole retry time, and the record of it: set when a message
  // gives up on a server that cannot be reached, cleared when one gets
  // through.
  bool outOfReach(const std::string& key);
  void setOutOfReach(const std::string& key, bool outOfReach);

private:
  SmtpConnectionPool() = default;
  void reap();

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::optional<SmtpConnection> m_idle;
  std::chrono::steady_clock::time_point m_closeAt;
  std::chrono::steady_clock::time_point m_nextStart;
  std::string m_outOfReachKey;
  bool m_stopping = false;
  bool m_reaperWaitsForWork = false;  // without a deadline, until a connection is kept
  // Started with the first kept connection, joined at exit: it closes an
  // idle connection on time although no call of the program comes by.
  std::thread m_reaper;
};

}  // namespace mapi32
