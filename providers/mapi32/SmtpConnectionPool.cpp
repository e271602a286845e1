// The kept connection, its reaper thread and the spacing of message starts.
#include "SmtpConnectionPool.h"

#include "SigpipeGuard.h"
#include "SmtpConversation.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <functional>
#include <system_error>
#include <utility>

namespace mapi32 {

namespace {

using Clock = std::chrono::steady_clock;

// How long a closing connection waits for the reply to QUIT: at exit, a
// stuck server must not hold up the program.
constexpr long kQuitSeconds = 2;

// With every signal blocked, so that the host program's signals never land
// on this thread.
std::thread StartQuietThread(std::function<void()> body) {
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  struct RestoreMask {
    sigset_t& old;
    ~RestoreMask() { pthread_sigmask(SIG_SETMASK, &old, nullptr); }
  } restore{old};
  return std::thread(std::move(body));
}

}  // namespace

SmtpConnection::SmtpConnection(std::string key, SmtpLogon::Credentials credentials)
    : key(std::move(key)), credentials(std::move(credentials)), curl(MakeCurlEasy()) {
  if (!curl) throw std::bad_alloc();
}

SmtpConnection::~SmtpConnection() {
  std::fill(credentials.password.begin(), credentials.password.end(), '\0');
  if (!curl) return;
  curl_easy_setopt(curl.get(), CURLOPT_SERVER_RESPONSE_TIMEOUT, kQuitSeconds);
  SigpipeGuard sigpipe;
  curl.reset();
}

std::string SmtpConnectionKey(const SmtpSettings& settings) {
  const std::string parts[] = {settings.server, std::to_string(static_cast<int>(settings.startTls)), settings.user,
                               settings.passwordCommand, settings.caFile};
  std::string key;
  for (const std::string& part : parts) key.append(part).push_back('\0');
  return key;
}

SmtpConnectionPool& SmtpConnectionPool::Instance() {
  InitCurl();
  static SmtpConnectionPool pool;
  return pool;
}

SmtpConnectionPool::~SmtpConnectionPool() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_reaper.joinable()) m_reaper.join();
  m_idle.reset();
}

std::optional<SmtpConnection> SmtpConnectionPool::take(const std::string& key) {
  std::optional<SmtpConnection> found;
  {
    std::lock_guard lock(m_mutex);
    found.swap(m_idle);
  }
  if (found && found->key != key) found.reset();  // closed outside the lock
  return found;
}

void SmtpConnectionPool::keep(SmtpConnection connection) {
  std::optional<SmtpConnection> older(std::move(connection));
  bool wake = false;
  {
    std::lock_guard lock(m_mutex);
    if (m_stopping) return;
    if (!m_reaper.joinable()) {
      try {
        m_reaper = StartQuietThread([this] { reap(); });
      } catch (const std::system_error&) {
        return;  // nothing would close it on time: closed now
      }
    }
    older.swap(m_idle);
    m_closeAt = Clock::now() + kIdle;
    // A reaper waiting for an earlier close wakes then and waits on until
    // this one: only one waiting for a connection needs waking, not one
    // every message.
    wake = m_reaperWaitsForWork;
  }
  if (wake) m_wake.notify_all();
}

void SmtpConnectionPool::reap() {
  std::unique_lock lock(m_mutex);
  while (!m_stopping) {
    if (!m_idle) {
      m_reaperWaitsForWork = true;
      m_wake.wait(lock);
      m_reaperWaitsForWork = false;
    } else if (Clock::now() < m_closeAt) {
      m_wake.wait_until(lock, m_closeAt);
    } else {
      std::optional<SmtpConnection> idle;
      idle.swap(m_idle);
      lock.unlock();
      idle.reset();
      lock.lock();
    }
  }
  std::optional<SmtpConnection> last;
  last.swap(m_idle);
  lock.unlock();
}

void SmtpConnectionPool::pace(long perMinute) {
  if (perMinute <= 0) return;
  const auto spacing = std::chrono::duration_cast<Clock::duration>(std::chrono::minutes(1)) / perMinute;
  Clock::time_point start;
  {
    std::lock_guard lock(m_mutex);
    start = std::max(Clock::now(), m_nextStart);
    m_nextStart = start + spacing;
  }
  std::this_thread::sleep_until(start);
}

bool SmtpConnectionPool::outOfReach(const std::string& key) {
  const std::lock_guard lock(m_mutex);
  return !m_outOfReachKey.empty() && m_outOfReachKey == key;
}

void SmtpConnectionPool::setOutOfReach(const std::string& key, bool outOfReach) {
  const std::lock_guard lock(m_mutex);
  if (outOfReach) {
    m_outOfReachKey = key;
  } else if (m_outOfReachKey == key) {
    m_outOfReachKey.clear();
  }
}

}  // namespace mapi32
