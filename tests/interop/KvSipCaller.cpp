// A SIP caller built on the stack's libraries alone: it places one call to a peer on 127.0.0.1
// (sipp's built-in uas scenario), reads its 180 and 200 with the SDP answer, acknowledges the 200,
// ends the call with a BYE and checks the 200 to it. The stack has no transaction layer yet, so the
// few lines of call state live here, with the UDP retransmissions of INVITE and BYE.
//
// Usage: KvSipCaller [--transport udp|tcp] [--peer-port N] [--local-port N] [--timeout SECONDS]
//                    [--verbose]
// Exit code 0 only when every step succeeded within the time-out (20 s by default).

#include "KvInteropTransport.h"

#include "KvException.h"
#include "KvMediaSession.h"
#include "KvMediaStream.h"
#include "KvSipAckMessage.h"
#include "KvSipByeMessage.h"
#include "KvSipCSeqHeader.h"
#include "KvSipCallIdHeader.h"
#include "KvSipCallid.h"
#include "KvSipContactHeader.h"
#include "KvSipFromHeader.h"
#include "KvSipInviteMessage.h"
#include "KvSipMaxForwardsHeader.h"
#include "KvSipNameAddress.h"
#include "KvSipResponse.h"
#include "KvSipToHeader.h"
#include "KvSipViaHeader.h"
#include "KvUuid.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct KvCallerConfig {
    int32_t transport = KvSipMessage::KV_TRANSPORT_UDP;
    uint32_t peerPort = 25080;
    uint32_t localPort = 25082;
    uint32_t mediaPort = 40002;
    uint32_t timeoutSeconds = 20;
    bool verbose = false;
};

// What the transport's workers hand over to the call's own thread.
class KvCallerInbox {
public:
    void push(const KvHandle<KvSipMessage>& message) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back(message);
        }
        m_ready.notify_one();
    }

    // The next message, or null when none came before the time.
    KvHandle<KvSipMessage> pop(Clock::time_point until) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_ready.wait_until(lock, until, [this] { return !m_messages.empty(); }))
            return KvHandle<KvSipMessage>();
        KvHandle<KvSipMessage> message = m_messages.front();
        m_messages.pop_front();
        return message;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<KvHandle<KvSipMessage>> m_messages;
};

class KvSipCaller {
public:
    explicit KvSipCaller(const KvCallerConfig& config)
        : m_config(config), m_deadline(Clock::now() + std::chrono::seconds(config.timeoutSeconds)),
          m_transport([this](const KvHandle<KvSipMessage>& message, const KvInteropPeer&) {
              m_inbox.push(message);
          }) {}

    // Every step of the call; false (with the reason on stderr) at the first that fails.
    bool run() {
        if (!connect())
            return false;
        if (!invite())
            return false;
        if (!acknowledge())
            return false;
        if (!hangUp())
            return false;
        lingerOnConnection();
        return true;
    }

private:
    bool connect() {
        if (m_config.transport == KvSipMessage::KV_TRANSPORT_UDP) {
            m_transport.openUdp(m_config.localPort);
            m_peer.transport = KvSipMessage::KV_TRANSPORT_UDP;
            m_peer.address = KvInteropTransport::sLoopback();
            m_peer.port = m_config.peerPort;
            m_localPort = m_config.localPort;
            return true;
        }
        // The peer may still be starting: try again for a few seconds.
        Clock::time_point giveUp = std::min(m_deadline, Clock::now() + std::chrono::seconds(5));
        for (;;) {
            try {
                m_peer = m_transport.connectTcp(m_config.peerPort);
                m_localPort = m_peer.connection->getLocalPort();
                return true;
            } catch (KvHandle<KvException>& e) {
                if (Clock::now() >= giveUp)
                    return fail((std::string("cannot connect: ") + e->getText()).c_str());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    bool invite() {
        KvMediaSession::setZeroTime(true);
        KvHandle<KvMediaStream> audio(new KvMediaStream(
            KvMediaAudio, static_cast<int32_t>(m_config.mediaPort), KvInetAddress()));
        audio->addFormat(KvMediaFormat(0, "PCMU"));
        audio->addFormat(KvMediaFormat(8, "PCMA"));
        audio->addFormat(KvMediaFormat(101, "telephone-event"));
        KvHandle<KvMediaSession> offer(new KvMediaSession(audio));
        offer->setUserName("kvcaller");
        offer->setOriginAddress("127.0.0.1");
        offer->setConnectionAddress("127.0.0.1");
        std::string sdp(offer->getSdp(), static_cast<size_t>(offer->getSdpLength()));
        sdp += "a=fmtp:101 0-15\r\n";

        char text[128];
        std::snprintf(text, sizeof text, "<sip:kvcaller@127.0.0.1:%u%s>", m_localPort,
                      transportParameter());
        KvHandle<KvSipFromHeader> from(
            new KvSipFromHeader(new KvSipNameAddress(text), KvHandle<KvParameters>()));
        from->setTag(unique("kvc").c_str());
        KvHandle<KvSipContactHeader> contact(new KvSipContactHeader(new KvSipNameAddress(text)));
        std::snprintf(text, sizeof text, "<sip:service@127.0.0.1:%u%s>", m_config.peerPort,
                      transportParameter());
        KvHandle<KvSipToHeader> to(
            new KvSipToHeader(new KvSipNameAddress(text), KvHandle<KvParameters>()));
        KvSipCallid callId("127.0.0.1");
        m_callId = callId.getValue();

        m_invite = new KvSipInviteMessage(from, to, contact, m_callId.c_str(), 1, "application/sdp",
                                          sdp.data(), static_cast<uint32_t>(sdp.size()));
        addRouting(KvHandle<KvSipRequest>(m_invite));
        if (!send(KvHandle<KvSipMessage>(m_invite), "INVITE"))
            return false;

        Retransmission retransmission(KvHandle<KvSipMessage>(m_invite), "INVITE");
        while (m_ok.isNull()) {
            KvHandle<KvSipResponse> response;
            if (!awaitResponse(retransmission, response))
                return false;
            if (!isFor(response, "INVITE"))
                return fail("response to another request while waiting for the INVITE's");
            retransmission.answered = true;
            int32_t code = response->getStatusCode();
            if (code == 180) {
                m_ringing = true;
                step("180 received");
            } else if (code >= 200 && code < 300) {
                m_ok = response;
                step("200 received");
            } else if (code >= 300) {
                return fail(("final response " + std::to_string(code) + " to the INVITE").c_str());
            }
        }
        if (m_ok->getStatusCode() != 200)
            return fail("the INVITE was answered with another 2xx than 200");
        KvHandle<KvSipToHeader> peerTo = m_ok->getToHeader();
        if (peerTo.isNull() || peerTo->getTag().isEmpty())
            return fail("the 200 has no To tag");
        return checkAnswer();
    }

    // The 200's SDP answer must name one of the codecs offered.
    bool checkAnswer() {
        KvHandle<KvMediaSession> answer;
        try {
            answer = KvMediaSession::sConstructFrom(m_ok->getBody(),
                                                    static_cast<int32_t>(m_ok->getBodyLength()));
        } catch (KvHandle<KvException>& e) {
            return fail((std::string("SDP answer not read: ") + e->getText()).c_str());
        }
        if (answer.isNull() || answer->getStreams().empty())
            return fail("the 200 carries no usable SDP answer");
        const KvHandle<KvMediaStream>& stream = answer->getStreams().front();
        if (stream->getMediaType() != KvMediaAudio || stream->getPort() <= 0)
            return fail("the SDP answer has no audio stream");
        for (const KvMediaFormat& format : stream->getFormats()) {
            int32_t type = format.getPayloadType();
            if (type == 0 || type == 8) {
                char text[160];
                std::snprintf(text, sizeof text, "SDP answer: audio at %s:%d, payload type %d (%s)",
                              stream->getAddress().getHostAddress(), stream->getPort(), type,
                              format.getEncodingName() ? format.getEncodingName() : "no name");
                step(text);
                return true;
            }
        }
        return fail("the SDP answer names no offered codec");
    }

    bool acknowledge() {
        m_ack = new KvSipAckMessage(m_ok);
        addRouting(KvHandle<KvSipRequest>(m_ack));
        return send(KvHandle<KvSipMessage>(m_ack), "ACK");
    }

    bool hangUp() {
        KvHandle<KvSipRequest> bye(new KvSipByeMessage(KvHandle<KvSipMessage>(m_ok)));
        addRouting(bye);
        if (!send(KvHandle<KvSipMessage>(bye), "BYE"))
            return false;

        Retransmission retransmission(KvHandle<KvSipMessage>(bye), "BYE");
        for (;;) {
            KvHandle<KvSipResponse> response;
            if (!awaitResponse(retransmission, response))
                return false;
            int32_t code = response->getStatusCode();
            if (isFor(response, "INVITE")) {
                if (code == 180 && !m_ringing) {
                    m_ringing = true; // overtaken by the 200 on another worker
                    step("180 received");
                } else if (code >= 200 && code < 300) {
                    // The 200 again: our ACK was lost or late.
                    if (!send(KvHandle<KvSipMessage>(m_ack), "ACK (again)"))
                        return false;
                }
                continue;
            }
            if (!isFor(response, "BYE"))
                return fail("response to another request while waiting for the BYE's");
            retransmission.answered = true;
            if (code < 200)
                continue;
            if (code != 200)
                return fail(("final response " + std::to_string(code) + " to the BYE").c_str());
            KvHandle<KvSipCSeqHeader> cseq = response->getCSeqHeader();
            if (cseq->getNumber() != 2)
                return fail("the 200 to the BYE carries another CSeq number than 2");
            step("200 to the BYE received");
            break;
        }
        // Datagrams are handled on several pool workers: on a loaded machine the 180's worker
        // may finish after the whole BYE round trip. Give it a moment before calling it lost.
        const Clock::time_point lateUntil = std::min(m_deadline, Clock::now() + kLateRinging);
        while (!m_ringing) {
            KvHandle<KvSipResponse> late;
            switch (next(lateUntil, late)) {
            case Next::Failed:
                return false;
            case Next::Nothing:
                return fail("no 180 came before the 200");
            case Next::Response:
                if (isFor(late, "INVITE") && late->getStatusCode() == 180) {
                    m_ringing = true;
                    step("180 received");
                }
                break;
            }
        }
        return true;
    }

    // A peer may count a connection closed under it as a failed call, and may still answer on it:
    // the connection stays until the peer closes it, or the time-out.
    void lingerOnConnection() {
        if (isUdp())
            return;
        while (m_peer.connection->getHandle() != kKvInvalidSocket && Clock::now() < m_deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        step(m_peer.connection->getHandle() == kKvInvalidSocket ? "connection closed by the peer"
                                                                : "connection still open");
    }

    enum class Next { Response, Nothing, Failed };

    // The next response of this call; a request, a message that is not valid or one of another
    // call fails the call.
    Next next(Clock::time_point until, KvHandle<KvSipResponse>& response) {
        KvHandle<KvSipMessage> message = m_inbox.pop(until);
        if (m_transport.getUnparsedCount() > 0) {
            fail("the peer sent a message that did not parse");
            return Next::Failed;
        }
        if (message.isNull())
            return Next::Nothing;
        trace("received", message);
        if (message->isRequest()) {
            fail(("unexpected request:\n" + KvInteropTransport::sText(message)).c_str());
            return Next::Failed;
        }
        if (!message->isValid()) {
            fail(("response not valid (parse state " + std::to_string(message->getParseState()) +
                  "):\n" + KvInteropTransport::sText(message))
                     .c_str());
            return Next::Failed;
        }
        KvHandle<KvSipCallIdHeader> callId = message->getCallIdHeader();
        if (std::strcmp(callId->getCallIdText(), m_callId.c_str()) != 0) {
            fail("response of another call");
            return Next::Failed;
        }
        response = message;
        return Next::Response;
    }

    // A request sent once and, over UDP, again every interval until any response to it came.
    struct Retransmission {
        Retransmission(KvHandle<KvSipMessage> message, const char* name)
            : request(std::move(message)), method(name),
              resend(Clock::now() + kRetransmitInterval) {}
        KvHandle<KvSipMessage> request;
        const char* method;
        Clock::time_point resend;
        uint32_t sends = 1;
        bool answered = false; // set by the caller once a response to the request came
    };

    // The next response of the call, sending the request again while it waits; false (the reason
    // told) when the call failed or no response came before the deadline.
    bool awaitResponse(Retransmission& retransmission, KvHandle<KvSipResponse>& response) {
        for (;;) {
            Clock::time_point until =
                retransmission.answered ? m_deadline : std::min(m_deadline, retransmission.resend);
            switch (next(until, response)) {
            case Next::Failed:
                return false;
            case Next::Response:
                return true;
            case Next::Nothing:
                break;
            }
            if (Clock::now() >= m_deadline)
                return fail(
                    ("no final response to the " + std::string(retransmission.method)).c_str());
            if (isUdp() && !retransmission.answered && retransmission.sends < kMaxSends) {
                ++retransmission.sends;
                retransmission.resend = Clock::now() + kRetransmitInterval;
                if (!send(retransmission.request,
                          (std::string(retransmission.method) + " (again)").c_str()))
                    return false;
            }
        }
    }

    static bool isFor(const KvHandle<KvSipResponse>& response, const char* method) {
        KvHandle<KvSipCSeqHeader> cseq = response->getCSeqHeader();
        return std::strcmp(cseq->getMethod(), method) == 0;
    }

    // What a transport layer adds to every request it sends: its Via with a new branch, and
    // Max-Forwards.
    void addRouting(const KvHandle<KvSipRequest>& request) {
        KvHandle<KvSipViaHeader> via(new KvSipViaHeader(
            "127.0.0.1", m_localPort, KvInteropTransport::sTransportName(m_config.transport)));
        via->setBranch(unique("z9hG4bK").c_str());
        request->addHeader(KvHandle<KvSipHeader>(via));
        request->addHeader(KvHandle<KvSipHeader>(new KvSipMaxForwardsHeader(70)));
    }

    bool send(const KvHandle<KvSipMessage>& message, const char* what) {
        trace("sending", message);
        if (!m_transport.send(message, m_peer))
            return fail((std::string(what) + " not sent").c_str());
        step((std::string(what) + " sent").c_str());
        return true;
    }

    static std::string unique(const char* prefix) {
        char uuid[kUuidTextSize];
        generateUuid(uuid);
        return std::string(prefix) + std::string(uuid, 8) + std::string(uuid + 9, 4);
    }

    const char* transportParameter() const { return isUdp() ? "" : ";transport=tcp"; }
    bool isUdp() const { return m_config.transport == KvSipMessage::KV_TRANSPORT_UDP; }

    void step(const char* text) {
        std::printf("KvSipCaller[%s]: %s\n", KvInteropTransport::sTransportName(m_config.transport),
                    text);
        std::fflush(stdout);
    }

    bool fail(const char* reason) {
        std::fprintf(stderr, "KvSipCaller[%s]: FAILED: %s\n",
                     KvInteropTransport::sTransportName(m_config.transport), reason);
        return false;
    }

    void trace(const char* what, const KvHandle<KvSipMessage>& message) {
        if (m_config.verbose)
            std::printf("---- %s\n%s", what, KvInteropTransport::sText(message).c_str());
    }

    static constexpr std::chrono::milliseconds kRetransmitInterval{500};
    static constexpr uint32_t kMaxSends = 7;
    // How long a 180 overtaken by the whole call may still come.
    static constexpr std::chrono::seconds kLateRinging{2};

    KvCallerConfig m_config;
    Clock::time_point m_deadline;
    KvCallerInbox m_inbox;
    KvInteropTransport m_transport;
    KvInteropPeer m_peer;
    uint32_t m_localPort = 0;
    std::string m_callId;
    KvHandle<KvSipRequest> m_invite;
    KvHandle<KvSipResponse> m_ok;
    KvHandle<KvSipRequest> m_ack;
    bool m_ringing = false;
};

int usage() {
    std::fprintf(stderr, "usage: KvSipCaller [--transport udp|tcp] [--peer-port N] "
                         "[--local-port N] [--timeout SECONDS] [--verbose]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    KvCallerConfig config;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--verbose") {
            config.verbose = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        bool good = true;
        if (option == "--transport") {
            if (std::strcmp(value, "udp") == 0)
                config.transport = KvSipMessage::KV_TRANSPORT_UDP;
            else if (std::strcmp(value, "tcp") == 0)
                config.transport = KvSipMessage::KV_TRANSPORT_TCP;
            else
                good = false;
        } else if (option == "--peer-port") {
            good = KvInteropTransport::sReadNumber(value, config.peerPort);
        } else if (option == "--local-port") {
            good = KvInteropTransport::sReadNumber(value, config.localPort);
        } else if (option == "--timeout") {
            good = KvInteropTransport::sReadNumber(value, config.timeoutSeconds) &&
                   config.timeoutSeconds > 0;
        } else {
            good = false;
        }
        if (!good)
            return usage();
    }

    // Should a library call ever block past the call's own deadline, the alarm still ends us.
    alarm(config.timeoutSeconds + 10);

    bool passed = false;
    try {
        KvSipCaller* caller = new KvSipCaller(config); // lives until _Exit: the stack's threads
        passed = caller->run();                        // may still call into it
    } catch (KvHandle<KvException>& e) {
        std::fprintf(stderr, "KvSipCaller: FAILED: %s\n", e->getText());
    }
    std::printf("KvSipCaller[%s]: %s\n", KvInteropTransport::sTransportName(config.transport),
                passed ? "call completed" : "call FAILED");
    std::fflush(nullptr);
    std::_Exit(passed ? 0 : 1);
}
