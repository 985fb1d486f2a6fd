// A SIP responder on 127.0.0.1 over UDP and TCP, built on the stack's libraries alone: INVITE gets
// 100, 180 and a 200 with an SDP answer; OPTIONS, REGISTER and BYE get 200; ACK is taken silently.
// It keeps no call state: the To tag of a call is derived from its Call-ID, so retransmissions and
// every response of one call carry the same tag.
//
// Usage: KvSipResponder [--udp-port N] [--tcp-port N] [--media-port N] [--duration SECONDS]
//                       [--verbose]
// Runs until SIGINT or SIGTERM, or for the duration (300 s by default), then prints what it
// handled. SIGUSR1 prints its live objects (what operator new gave and delete has not taken
// back), their heap bytes, its resident memory, its pool workers and the messages received so far.
// Exit code 0 only when every message it received parsed as a valid SIP message and every answer
// was sent.

#include "KvInteropTransport.h"
#include "support/KvHeapCount.h"

#include "KvException.h"
#include "KvMediaSession.h"
#include "KvMediaStream.h"
#include "KvSipContactHeader.h"
#include "KvSipCallIdHeader.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "KvSipToHeader.h"
#include "KvTCPIDispatcher.h"
#include "KvThreadPool.h"
#include "KvUDPIDispatcher.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

struct KvResponderConfig {
    uint32_t udpPort = 25070;
    uint32_t tcpPort = 25071;
    uint32_t mediaPort = 40000;
    uint32_t durationSeconds = 300;
    bool verbose = false;
};

struct KvResponderCounts {
    std::atomic<uint32_t> invite{0};
    std::atomic<uint32_t> ack{0};
    std::atomic<uint32_t> bye{0};
    std::atomic<uint32_t> options{0};
    std::atomic<uint32_t> registration{0};
    std::atomic<uint32_t> other{0};
    std::atomic<uint32_t> responses{0};
    std::atomic<uint32_t> invalid{0};
    std::atomic<uint32_t> rejectedOffers{0};
};

class KvSipResponder {
public:
    explicit KvSipResponder(const KvResponderConfig& config)
        : m_config(config),
          m_transport([this](const KvHandle<KvSipMessage>& message, const KvInteropPeer& peer) {
              handle(message, peer);
          }) {}

    void start() {
        m_transport.openUdp(m_config.udpPort);
        m_transport.listenTcp(m_config.tcpPort);
    }

    int32_t report() const {
        std::printf("KvSipResponder: %u messages received: INVITE %u, ACK %u, BYE %u, OPTIONS %u, "
                    "REGISTER %u, other requests %u, responses %u\n",
                    m_transport.getReceivedCount(), m_counts.invite.load(), m_counts.ack.load(),
                    m_counts.bye.load(), m_counts.options.load(), m_counts.registration.load(),
                    m_counts.other.load(), m_counts.responses.load());
        std::printf("KvSipResponder: unparsed %u, invalid %u, rejected offers %u, transport "
                    "failures %u\n",
                    m_transport.getUnparsedCount(), m_counts.invalid.load(),
                    m_counts.rejectedOffers.load(), m_transport.getFailureCount());
        bool clean = m_transport.getUnparsedCount() == 0 && m_counts.invalid == 0 &&
                     m_counts.rejectedOffers == 0 && m_transport.getFailureCount() == 0;
        return clean ? 0 : 1;
    }

    void reportMemory() const {
        long pages = 0;
        long resident = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
                resident = 0;
            std::fclose(statm);
        }
        // Pool workers are made on demand and kept: they count apart from what connections hold.
        uint32_t workers = KvTCPIDispatcher::instance()->getPool()->getWorkerCount() +
                           KvUDPIDispatcher::instance()->getPool()->getWorkerCount();
        std::printf("KvSipResponder: memory: %ld live objects, %ld heap bytes, %ld kB resident, "
                    "%u pool workers, %u messages received\n",
                    kvheap::liveBlocks(), kvheap::liveBytes(),
                    resident * (sysconf(_SC_PAGESIZE) / 1024), workers,
                    m_transport.getReceivedCount());
        std::fflush(stdout);
    }

private:
    void handle(const KvHandle<KvSipMessage>& message, const KvInteropPeer& peer) {
        trace("received", message, peer);
        if (message->isResponse()) {
            ++m_counts.responses; // nothing here sends requests
            return;
        }
        KvHandle<KvSipRequest> request(message);
        const KvString& method = request->getMethod();
        if (!request->isValid()) {
            ++m_counts.invalid;
            std::fprintf(stderr, "KvSipResponder: invalid request (parse state %d) over %s:\n%s\n",
                         request->getParseState(),
                         KvInteropTransport::sTransportName(peer.transport),
                         KvInteropTransport::sText(message).c_str());
            if (!(method == "ACK"))
                respond(answer(400, request), peer);
            return;
        }
        if (method == "INVITE") {
            ++m_counts.invite;
            answerInvite(request, peer);
        } else if (method == "ACK") {
            ++m_counts.ack;
        } else if (method == "BYE") {
            ++m_counts.bye;
            respond(answer(200, request), peer);
        } else if (method == "OPTIONS") {
            ++m_counts.options;
            respond(answer(200, request), peer);
        } else if (method == "REGISTER") {
            ++m_counts.registration;
            respond(answer(200, request), peer);
        } else {
            ++m_counts.other;
            respond(answer(501, request), peer);
        }
    }

    void answerInvite(const KvHandle<KvSipRequest>& request, const KvInteropPeer& peer) {
        respond(answer(100, request), peer);

        KvHandle<KvMediaSession> session = buildAnswer(request);
        if (session.isNull()) {
            ++m_counts.rejectedOffers;
            respond(answer(488, request), peer);
            return;
        }
        KvHandle<KvSipResponse> ringing = answer(180, request);
        addContact(ringing, peer);
        respond(ringing, peer);

        const char* sdp = session->getSdp();
        KvHandle<KvSipResponse> ok = answer(200, request, sdp, "application/sdp",
                                            static_cast<uint32_t>(session->getSdpLength()));
        addContact(ok, peer);
        respond(ok, peer);
    }

    // The response with our To tag on everything but a 100, when the request has none yet.
    static KvHandle<KvSipResponse> answer(int32_t code, const KvHandle<KvSipRequest>& request,
                                          const char* body = nullptr,
                                          const char* contentType = nullptr,
                                          uint32_t bodyLength = 0) {
        KvHandle<KvSipResponse> response(
            new KvSipResponse(code, request, body, contentType, bodyLength));
        KvHandle<KvSipToHeader> to = response->getToHeader();
        if (code > 100 && !to.isNull() && to->getTag().isEmpty())
            to->setTag(tagFor(request).c_str());
        return response;
    }

    // The SDP answer to the request's offer: one audio stream with the first offered codec that
    // is PCMU or PCMA, and telephone-event when offered. Null when there is nothing to accept.
    KvHandle<KvMediaSession> buildAnswer(const KvHandle<KvSipRequest>& request) {
        KvHandle<KvMediaSession> offer;
        try {
            offer = KvMediaSession::sConstructFrom(request->getBody(),
                                                   static_cast<int32_t>(request->getBodyLength()));
        } catch (KvHandle<KvException>& e) {
            std::fprintf(stderr, "KvSipResponder: offer not read: %s\n", e->getText());
            return KvHandle<KvMediaSession>();
        }
        if (offer.isNull()) {
            std::fprintf(stderr, "KvSipResponder: INVITE without a usable offer\n");
            return KvHandle<KvMediaSession>();
        }
        for (const KvHandle<KvMediaStream>& stream : offer->getStreams()) {
            if (stream->getMediaType() != KvMediaAudio || stream->getPort() == 0)
                continue;
            int32_t codec = -1;
            bool events = false;
            for (const KvMediaFormat& format : stream->getFormats()) {
                int32_t type = format.getPayloadType();
                if (codec < 0 && (type == 0 || type == 8))
                    codec = type;
                const char* name = format.getEncodingName();
                if (name && strcasecmp(name, "telephone-event") == 0)
                    events = true;
            }
            if (codec < 0)
                continue;
            KvHandle<KvMediaStream> media(new KvMediaStream(
                KvMediaAudio, static_cast<int32_t>(m_config.mediaPort), KvInetAddress()));
            media->addFormat(KvMediaFormat(codec, codec == 0 ? "PCMU" : "PCMA"));
            if (events) {
                for (const KvMediaFormat& format : stream->getFormats()) {
                    const char* name = format.getEncodingName();
                    if (name && strcasecmp(name, "telephone-event") == 0)
                        media->addFormat(KvMediaFormat(format.getPayloadType(), name));
                }
            }
            KvHandle<KvMediaSession> answer(new KvMediaSession(media));
            answer->setUserName("kvresponder");
            answer->setOriginAddress("127.0.0.1");
            answer->setConnectionAddress("127.0.0.1");
            return answer;
        }
        std::fprintf(stderr, "KvSipResponder: no acceptable audio stream in the offer\n");
        return KvHandle<KvMediaSession>();
    }

    // Where the dialog that a 1xx or 2xx to an INVITE sets up reaches us.
    void addContact(const KvHandle<KvSipResponse>& response, const KvInteropPeer& peer) {
        char contact[96];
        if (peer.transport == KvSipMessage::KV_TRANSPORT_TCP)
            std::snprintf(contact, sizeof contact, "<sip:kvresponder@127.0.0.1:%u;transport=tcp>",
                          m_config.tcpPort);
        else
            std::snprintf(contact, sizeof contact, "<sip:kvresponder@127.0.0.1:%u>",
                          m_config.udpPort);
        response->addHeader(KvHandle<KvSipHeader>(new KvSipContactHeader(contact)));
    }

    static std::string tagFor(const KvHandle<KvSipRequest>& request) {
        KvHandle<KvSipCallIdHeader> callId = request->getCallIdHeader();
        uint32_t hash = 2166136261u; // FNV-1a
        for (const char* p = callId.isNull() ? "" : callId->getCallIdText(); *p; ++p)
            hash = (hash ^ static_cast<uint8_t>(*p)) * 16777619u;
        char tag[16];
        std::snprintf(tag, sizeof tag, "kv%08x", hash);
        return tag;
    }

    void respond(const KvHandle<KvSipResponse>& response, const KvInteropPeer& peer) {
        trace("sending", KvHandle<KvSipMessage>(response), peer);
        m_transport.send(KvHandle<KvSipMessage>(response), peer);
    }

    void trace(const char* what, const KvHandle<KvSipMessage>& message, const KvInteropPeer& peer) {
        if (!m_config.verbose)
            return;
        std::string text = KvInteropTransport::sText(message);
        std::lock_guard<std::mutex> lock(m_traceMutex);
        std::printf("---- %s over %s, peer port %u\n%s", what,
                    KvInteropTransport::sTransportName(peer.transport), peer.port, text.c_str());
        std::fflush(stdout);
    }

    KvResponderConfig m_config;
    KvInteropTransport m_transport;
    KvResponderCounts m_counts;
    std::mutex m_traceMutex;
};

int usage() {
    std::fprintf(stderr, "usage: KvSipResponder [--udp-port N] [--tcp-port N] [--media-port N] "
                         "[--duration SECONDS] [--verbose]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    KvResponderConfig config;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        uint32_t* target = nullptr;
        if (option == "--verbose") {
            config.verbose = true;
            continue;
        }
        if (option == "--udp-port")
            target = &config.udpPort;
        else if (option == "--tcp-port")
            target = &config.tcpPort;
        else if (option == "--media-port")
            target = &config.mediaPort;
        else if (option == "--duration")
            target = &config.durationSeconds;
        if (!target || i + 1 >= argc || !KvInteropTransport::sReadNumber(argv[++i], *target))
            return usage();
    }

    // Blocked before any stack thread starts, so that only the wait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    KvMediaSession::setZeroTime(true);
    static KvSipResponder* responder = new KvSipResponder(config); // lives until _Exit
    try {
        responder->start();
    } catch (KvHandle<KvException>& e) {
        std::fprintf(stderr, "KvSipResponder: cannot listen: %s\n", e->getText());
        std::fflush(nullptr);
        std::_Exit(2);
    }
    std::printf("KvSipResponder: listening on 127.0.0.1, UDP port %u, TCP port %u\n",
                config.udpPort, config.tcpPort);
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(config.durationSeconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now());
        if (left.count() <= 0) {
            std::printf("KvSipResponder: ran for its %u seconds\n", config.durationSeconds);
            break;
        }
        timespec limit{static_cast<time_t>(left.count() / 1000000000),
                       static_cast<long>(left.count() % 1000000000)};
        int signal = sigtimedwait(&stopSignals, nullptr, &limit);
        if (signal == SIGUSR1)
            responder->reportMemory();
        else if (signal >= 0)
            break;
        else if (errno != EINTR && errno != EAGAIN)
            break;
    }

    int32_t code = responder->report();
    std::fflush(nullptr);
    // The stack's threads end with the process; nothing stops them one by one.
    std::_Exit(code);
}
