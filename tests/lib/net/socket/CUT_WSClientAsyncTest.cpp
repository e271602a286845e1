// CUT_WSClient's asynchronous notifications through a Qt event loop: socket
// events from SetAsyncNotify and the two host look-ups, delivered in the
// thread that called InitAsync, never to an object already destroyed.
#include "LoopbackPeer.h"

#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using sockettest::LoopbackPeer;

class AsyncClient : public CUT_WSClient {
public:
  struct Note {
    int kind;  // an FD_* event, or kName / kAddress
    int error;
  };
  static constexpr int kName = 1000;
  static constexpr int kAddress = 1001;
  void OnAsyncNotify(int event, int error) override {
    Record(event, error);
    if (event == FD_READ) {
      char buffer[64];
      received.append(buffer, static_cast<std::size_t>(std::max(Receive(buffer, sizeof buffer), 0)));
    }
    if (event == FD_CLOSE) CloseConnection();  // closing from inside the notification
  }
  void OnAsyncGetNameNotify(int error) override { Record(kName, error); }
  void OnAsyncGetAddressNotify(int error) override { Record(kAddress, error); }
  bool Saw(int kind) const {
    return std::any_of(notes.begin(), notes.end(), [kind](const Note& note) { return note.kind == kind; });
  }
  const hostent& Entry() const { return *reinterpret_cast<const hostent*>(m_hostEntBuffer); }

  std::vector<Note> notes;
  std::string received;
  QThread* thread = nullptr;

private:
  void Record(int kind, int error) {
    thread = QThread::currentThread();
    notes.push_back({kind, error});
  }
};

}  // namespace

class CUT_WSClientAsyncTest : public QObject {
  Q_OBJECT

private slots:
  void ReportsWriteReadAndCloseInTheInitAsyncThread() {
    LoopbackPeer peer;
    AsyncClient client;
    QCOMPARE(client.SetAsyncNotify(FD_READ), 1);  // no window yet
    QCOMPARE(client.InitAsync(nullptr), 0);
    QVERIFY(peer.Connect(client));
    QCOMPARE(client.SetAsyncNotify(FD_READ | FD_WRITE | FD_CLOSE), 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.Saw(FD_WRITE), 10000);
    QVERIFY(!client.Saw(FD_READ));
    peer.Send("ping");
    QTRY_COMPARE_WITH_TIMEOUT(client.received, std::string("ping"), 10000);
    peer.Send("pong");
    QTRY_COMPARE_WITH_TIMEOUT(client.received, std::string("pingpong"), 10000);
    peer.Close();
    QTRY_VERIFY_WITH_TIMEOUT(client.Saw(FD_CLOSE), 10000);
    QCOMPARE(client.notes.back().error, 0);
    QCOMPARE(client.thread, QThread::currentThread());
    QCOMPARE(client.GetSocket(), INVALID_SOCKET);
    const auto count = client.notes.size();
    QTest::qWait(50);
    QCOMPARE(client.notes.size(), count);  // nothing after the socket closed
  }

  void ReportsAResetAsClose() {
    LoopbackPeer peer;
    AsyncClient client;
    QCOMPARE(client.InitAsync(nullptr), 0);
    QVERIFY(peer.Connect(client));
    QCOMPARE(client.SetAsyncNotify(FD_CLOSE), 0);
    peer.Reset();
    QTRY_VERIFY_WITH_TIMEOUT(client.Saw(FD_CLOSE), 10000);
    QCOMPARE(client.notes.back().error, WSAECONNRESET);
  }

  void LooksUpAddressAndNameIntoTheHostEntryBuffer() {
    AsyncClient client;
    QCOMPARE(client.AsyncGetAddressFromName("localhost", nullptr, 0), 1);  // no window yet
    QCOMPARE(client.InitAsync(nullptr), 0);
    QCOMPARE(client.AsyncGetAddressFromName("someone@localhost", nullptr, 0), 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.Saw(AsyncClient::kAddress), 10000);
    QCOMPARE(client.notes.back().error, 0);
    QCOMPARE(client.Entry().h_addrtype, AF_INET);
    QCOMPARE(*reinterpret_cast<const in_addr_t*>(client.Entry().h_addr_list[0]), htonl(INADDR_LOOPBACK));
    QCOMPARE(client.Entry().h_aliases[0], nullptr);

    QCOMPARE(client.AsyncGetNameFromAddress("127.0.0.1", nullptr, 0), 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.Saw(AsyncClient::kName), 10000);
    QCOMPARE(client.notes.back().error, 0);
    QCOMPARE(std::string(client.Entry().h_name), std::string("localhost"));
    QCOMPARE(client.Entry().h_addr_list[1], nullptr);
    QCOMPARE(client.thread, QThread::currentThread());

    QCOMPARE(client.AsyncGetAddressFromName("no-such-host.invalid", nullptr, 0), 0);
    QTRY_COMPARE_WITH_TIMEOUT(client.notes.size(), std::size_t{3}, 30000);
    QVERIFY(client.notes.back().error != 0);
  }

  void NeverCallsAnObjectDestroyedWhileItsLookUpRuns() {
    for (int i = 0; i < 20; ++i) {
      auto doomed = std::make_unique<AsyncClient>();
      QCOMPARE(doomed->InitAsync(nullptr), 0);
      QCOMPARE(doomed->AsyncGetAddressFromName("localhost", nullptr, 0), 0);
      if (i % 2 == 1) QTest::qWait(1);  // sometimes the result is already posted
      doomed.reset();
    }
    // A look-up started after them ends after them, or near enough.
    AsyncClient witness;
    QCOMPARE(witness.InitAsync(nullptr), 0);
    QCOMPARE(witness.AsyncGetAddressFromName("localhost", nullptr, 0), 0);
    QTRY_VERIFY_WITH_TIMEOUT(witness.Saw(AsyncClient::kAddress), 10000);
    QTest::qWait(200);  // a call to a destroyed one is a use after free (crash, sanitizer)
  }
};

QTEST_GUILESS_MAIN(CUT_WSClientAsyncTest)
#include "CUT_WSClientAsyncTest.moc"
