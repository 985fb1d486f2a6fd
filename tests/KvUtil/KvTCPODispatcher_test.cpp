// One message to a peer that reads slowly or not at all holds the outgoing TCP dispatcher for
// the send time limit at most: then its connection is dropped and the next message goes out.
// These cases take seconds each; they are started ahead of the short ones.
#include "KvSocketTestSupport.h"

#include "KvBaseEvent.h"
#include "KvByteArray.h"
#include "KvClientSocket.h"
#include "KvObserverThread.h"
#include "KvServerSocket.h"
#include "KvTCPODispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

using kvsock::boundPort;
using kvsock::loopback;
using kvtest::waitUntil;
using Clock = std::chrono::steady_clock;

namespace {

// Reads 8 KiB every interval from the peer's side of a connection until stopped: enough
// progress now and then to keep a per-call time-out from ever running out.
class SlowReader {
public:
    SlowReader(KvHandle<KvClientSocket> peer, std::chrono::milliseconds interval)
        : m_peer(peer), m_thread([this, interval] {
              static char buffer[8192];
              std::unique_lock<std::mutex> lock(m_mutex);
              while (!m_condition.wait_for(lock, interval, [this] { return m_stop; }))
                  if (m_peer->receive(buffer, sizeof buffer, 0) <= 0)
                      return;
          }) {}
    ~SlowReader() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_condition.notify_all();
        m_thread.join();
    }

private:
    KvHandle<KvClientSocket> m_peer;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_stop = false;
    std::thread m_thread;
};

// Sends 8 MiB, more than the kernel's buffers on both sides hold, to a peer that reads at most
// what `reading` makes it, then a short message to another peer: that message must arrive once
// the first send has run out of time, and the first connection must be closed with its reader
// told. Returns how long the short message took.
template <class Reading> Clock::duration sendPastAStalledPeer(Reading reading) {
    kvsock::LogCapture log;
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    KvHandle<KvClientSocket> stalledPeer(new KvClientSocket(loopback(), boundPort(*server)));
    KvHandle<KvClientSocket> stalled = server->accept();
    KvHandle<KvClientSocket> otherPeer(new KvClientSocket(loopback(), boundPort(*server)));
    KvHandle<KvClientSocket> other = server->accept();
    KvHandle<kvsock::Collector> observer(new kvsock::Collector);
    stalled->getInputStream()->attachObserver(observer);
    KvHandle<KvObserverThread> readThread = KvObserverThread::sStart(stalled);
    auto peerReading = reading(stalledPeer);

    KvTCPODispatcher* dispatcher = KvTCPODispatcher::instance();
    const Clock::time_point start = Clock::now();
    dispatcher->put(new KvTCPEvent(stalled, KvByteArray::sCreate(8 * 1024 * 1024)));
    dispatcher->put(new KvTCPEvent(other, KvByteArray::sFromString("hello")));
    // Well beyond the limit, well short of what a limit restarted by progress would take.
    const bool arrived =
        waitUntil([&] { return otherPeer->available() == 4; },
                  std::chrono::milliseconds(KvSocketImpl::kSendTimeLimitMs + 3000));
    const Clock::duration took = Clock::now() - start;
    EXPECT_TRUE(arrived);
    if (arrived) {
        char buffer[8];
        EXPECT_EQ(otherPeer->receive(buffer, 5, 0), 5);
        EXPECT_EQ(std::string(buffer, 5), "hello");
    }
    EXPECT_EQ(stalled->getHandle(), kKvInvalidSocket);
    EXPECT_TRUE(waitUntil([&] { return observer->nullCount() == 1; }, std::chrono::seconds(5)));
    EXPECT_TRUE(waitUntil([&] { return readThread->getState() == KvThread::DETACHED; },
                          std::chrono::seconds(5)));
    EXPECT_TRUE(log.contains("did not take a message of 8388608 bytes within 5000 ms; closing "
                             "the connection"));
    peerReading.reset();
    for (KvClientSocket* socket : {stalled.get(), stalledPeer.get(), other.get(), otherPeer.get()})
        socket->close();
    server->close();
    return took;
}

} // namespace

TEST(KvTCPODispatcher, APeerThatNeverReadsHoldsTheOthersForTheSendTimeLimitAtMost) {
    const Clock::duration took =
        sendPastAStalledPeer([](KvHandle<KvClientSocket>) { return std::unique_ptr<int>(); });
    EXPECT_GE(took, std::chrono::milliseconds(KvSocketImpl::kSendTimeLimitMs));
}

TEST(KvTCPODispatcher, APeerThatReadsALittleNowAndThenHoldsTheOthersForTheLimitAtMost) {
    const Clock::duration took = sendPastAStalledPeer([](KvHandle<KvClientSocket> peer) {
        return std::make_unique<SlowReader>(peer, std::chrono::milliseconds(1500));
    });
    EXPECT_GE(took, std::chrono::milliseconds(KvSocketImpl::kSendTimeLimitMs));
}
