// SDP parse and build through the media session, and the SDP message's parse and write-back. When
// the peer parsers are installed the same run measures osip2's and sofia-sip's SDP parsers on the
// same bodies, and a summary of our time over theirs follows the run.
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvInetAddress.h"
#include "KvMediaSession.h"
#include "KvOutputStream.h"
#include "KvSdpMsg.h"

#include "KvBenchSupport.h"

#ifdef KV_HAVE_OSIP2
#include <osipparser2/osip_parser.h>
#include <osipparser2/sdp_message.h>
#endif
#ifdef KV_HAVE_SOFIA
#include "KvSdpSofiaPeer.h"
#endif

namespace {

struct Body {
    std::string name;
    std::string text;
};

// The bodies of the benchmark messages that carry SDP.
std::vector<Body> loadBodies() {
    std::vector<Body> bodies;
    for (const char* name : {"a_invite", "b_200ok", "e_compact"}) {
        const std::string message = readCorpusFile(std::string("bench/") + name + ".sip");
        const size_t body = message.find("\r\n\r\n");
        if (body == std::string::npos || body + 4 == message.size()) {
            std::fprintf(stderr, "no SDP body in %s\n", name);
            std::exit(2);
        }
        bodies.push_back({name, message.substr(body + 4)});
    }
    return bodies;
}

// ---- ours

bool checkOurs(benchmark::State& state, const std::string& text) {
    try {
        KvByteArrayInputStream in(
            KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
        KvSdpMsg message;
        message.parse(in);
        return true;
    } catch (...) {
        state.SkipWithError("the body does not parse");
        return false;
    }
}

// Parse, and with Write also write into an output stream and take the text as a byte array, as
// a SIP body is made.
template <bool Write> void kvRun(benchmark::State& state, const std::string& text) {
    if (!checkOurs(state, text))
        return;
    KvHandle<KvByteArray> bytes =
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data());
    measure(state, text.size(), true, [&] {
        KvByteArrayInputStream in(bytes);
        KvSdpMsg message;
        message.parse(in);
        if constexpr (Write) {
            KvByteArrayOutputStream out;
            message.serialize(out);
            KvHandle<KvByteArray> written = out.toByteArray();
            benchmark::DoNotOptimize(written.get());
        } else {
            benchmark::DoNotOptimize(&message);
        }
    });
}

void mediaSessionParse(benchmark::State& state, const std::string& text) {
    measure(state, text.size(), true, [&] {
        KvHandle<KvMediaSession> session =
            KvMediaSession::sConstructFrom(text.data(), static_cast<int32_t>(text.size()));
        benchmark::DoNotOptimize(session.get());
    });
}

void mediaSessionBuild(benchmark::State& state) {
    KvMediaSession::setZeroTime(true);
    measure(state, 0, true, [&] {
        KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
        audio->addFormat(KvMediaFormat(0, "PCMU"));
        audio->addFormat(KvMediaFormat(101, "telephone-event"));
        audio->addFormat(KvMediaFormat(120, "scramble"));
        KvMediaSession session(audio);
        session.setUserName("alice");
        session.setOriginAddress("192.0.2.10");
        session.setConnectionAddress("192.0.2.10");
        benchmark::DoNotOptimize(session.getSdp());
    });
}

// ---- the peers, through their public interfaces

#ifdef KV_HAVE_OSIP2
bool checkOsip(benchmark::State& state, const std::string& text) {
    sdp_message_t* message = nullptr;
    sdp_message_init(&message);
    const int status = sdp_message_parse(message, text.c_str());
    sdp_message_free(message);
    if (status != 0)
        state.SkipWithError("osip2 does not parse the body");
    return status == 0;
}

// Parse, and with Write also write the text.
template <bool Write> void osipRun(benchmark::State& state, const std::string& text) {
    if (!checkOsip(state, text))
        return;
    measure(state, text.size(), false, [&] {
        sdp_message_t* message = nullptr;
        sdp_message_init(&message);
        sdp_message_parse(message, text.c_str());
        if constexpr (Write) {
            char* out = nullptr;
            sdp_message_to_str(message, &out);
            benchmark::DoNotOptimize(out);
            osip_free(out);
        } else {
            benchmark::DoNotOptimize(message);
        }
        sdp_message_free(message);
    });
}
#endif

#ifdef KV_HAVE_SOFIA
bool checkSofia(benchmark::State& state, const std::string& text) {
    const bool good = KvSdpSofiaPeer::check(text.data(), text.size());
    if (!good)
        state.SkipWithError("sofia-sip does not parse the body");
    return good;
}

// Parse, and with Write also print the session back into a text.
template <bool Write> void sofiaRun(benchmark::State& state, const std::string& text) {
    if (!checkSofia(state, text))
        return;
    measure(state, text.size(), false, [&] {
        if constexpr (Write)
            benchmark::DoNotOptimize(KvSdpSofiaPeer::parseSerialize(text.data(), text.size()));
        else
            KvSdpSofiaPeer::parse(text.data(), text.size());
    });
}
#endif

} // namespace

int main(int argc, char** argv) {
    if (!initializeBenchmark(argc, argv))
        return 1;
#ifdef KV_HAVE_OSIP2
    parser_init();
#endif
    const std::vector<KvContender> contenders = {
        {"kv", kvRun<false>, kvRun<true>},
#ifdef KV_HAVE_OSIP2
        {"osip2", osipRun<false>, osipRun<true>},
#endif
#ifdef KV_HAVE_SOFIA
        {"sofia-sip", sofiaRun<false>, sofiaRun<true>},
#endif
    };
    const std::vector<Body> bodies = loadBodies();
    std::vector<std::string> names;
    for (const Body& body : bodies) {
        names.push_back(body.name);
        registerContenders(body.name, body.text, contenders);
        benchmark::RegisterBenchmark(("MediaSessionParse/" + body.name + "/kv").c_str(),
                                     mediaSessionParse, body.text);
    }
    benchmark::RegisterBenchmark("MediaSessionBuild/kv", mediaSessionBuild);

    SummaryReporter reporter(consoleOptions());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter, {"ParseSerialize", "Parse"}, names);
    benchmark::Shutdown();
    return 0;
}
