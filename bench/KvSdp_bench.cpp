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

void kvParse(benchmark::State& state, const std::string& text) {
    if (!checkOurs(state, text))
        return;
    KvHandle<KvByteArray> bytes =
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data());
    measure(state, text.size(), true, [&] {
        KvByteArrayInputStream in(bytes);
        KvSdpMsg message;
        message.parse(in);
        benchmark::DoNotOptimize(&message);
    });
}

// Parse, write into an output stream, take the text as a byte array, as a SIP body is made.
void kvParseSerialize(benchmark::State& state, const std::string& text) {
    if (!checkOurs(state, text))
        return;
    KvHandle<KvByteArray> bytes =
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data());
    measure(state, text.size(), true, [&] {
        KvByteArrayInputStream in(bytes);
        KvSdpMsg message;
        message.parse(in);
        KvByteArrayOutputStream out;
        message.serialize(out);
        KvHandle<KvByteArray> written = out.toByteArray();
        benchmark::DoNotOptimize(written.get());
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

void osipParse(benchmark::State& state, const std::string& text) {
    if (!checkOsip(state, text))
        return;
    measure(state, text.size(), false, [&] {
        sdp_message_t* message = nullptr;
        sdp_message_init(&message);
        sdp_message_parse(message, text.c_str());
        benchmark::DoNotOptimize(message);
        sdp_message_free(message);
    });
}

void osipParseSerialize(benchmark::State& state, const std::string& text) {
    if (!checkOsip(state, text))
        return;
    measure(state, text.size(), false, [&] {
        sdp_message_t* message = nullptr;
        sdp_message_init(&message);
        sdp_message_parse(message, text.c_str());
        char* out = nullptr;
        sdp_message_to_str(message, &out);
        benchmark::DoNotOptimize(out);
        osip_free(out);
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

void sofiaParse(benchmark::State& state, const std::string& text) {
    if (!checkSofia(state, text))
        return;
    measure(state, text.size(), false, [&] { KvSdpSofiaPeer::parse(text.data(), text.size()); });
}

void sofiaParseSerialize(benchmark::State& state, const std::string& text) {
    if (!checkSofia(state, text))
        return;
    measure(state, text.size(), false, [&] {
        benchmark::DoNotOptimize(KvSdpSofiaPeer::parseSerialize(text.data(), text.size()));
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
    const std::vector<Body> bodies = loadBodies();
    std::vector<std::string> names;
    for (const Body& body : bodies) {
        names.push_back(body.name);
        auto add = [&](const char* operation, const char* who, auto function) {
            benchmark::RegisterBenchmark(
                (std::string(operation) + "/" + body.name + "/" + who).c_str(), function,
                body.text);
        };
        add("Parse", "kv", kvParse);
        add("ParseSerialize", "kv", kvParseSerialize);
        add("MediaSessionParse", "kv", mediaSessionParse);
#ifdef KV_HAVE_OSIP2
        add("Parse", "osip2", osipParse);
        add("ParseSerialize", "osip2", osipParseSerialize);
#endif
#ifdef KV_HAVE_SOFIA
        add("Parse", "sofia-sip", sofiaParse);
        add("ParseSerialize", "sofia-sip", sofiaParseSerialize);
#endif
    }
    benchmark::RegisterBenchmark("MediaSessionBuild/kv", mediaSessionBuild);

    SummaryReporter reporter(consoleOptions());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter, {"ParseSerialize", "Parse"}, names);
    benchmark::Shutdown();
    return 0;
}
