// SDP parse and build through the media session, and the SDP message's parse and write-back;
// sofia-sip's SDP parser on the same bodies as the baseline, where it is installed.
#include "KvByteArrayInputStream.h"
#include "KvInetAddress.h"
#include "KvMediaSession.h"
#include "KvOutputStream.h"
#include "KvSdpMsg.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#ifdef KV_HAVE_SOFIA
#include <sofia-sip/sdp.h>
#endif

namespace {

// The SDP body of a message of the corpus; "" (and the benchmark skipped) when there is none.
std::string sdpBody(benchmark::State& state, const char* file) {
    std::ifstream in(std::string(KV_CORPUS_DIR "/bench/") + file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    size_t body = text.find("\r\n\r\n");
    if (body == std::string::npos || body + 4 == text.size()) {
        state.SkipWithError("no SDP body: is KV_CORPUS_DIR the message corpus?");
        return std::string();
    }
    return text.substr(body + 4);
}

class CountingOutput : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(uint8_t) override { ++count; }
    void write(const void*, uint32_t length, uint32_t) override { count += length; }
    size_t count = 0;
};

void mediaSessionParse(benchmark::State& state, const char* file) {
    const std::string body = sdpBody(state, file);
    for (auto _ : state) {
        KvHandle<KvMediaSession> session =
            KvMediaSession::sConstructFrom(body.data(), static_cast<int32_t>(body.size()));
        benchmark::DoNotOptimize(session.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

void mediaSessionBuild(benchmark::State& state) {
    KvMediaSession::setZeroTime(true);
    for (auto _ : state) {
        KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
        audio->addFormat(KvMediaFormat(0, "PCMU"));
        audio->addFormat(KvMediaFormat(101, "telephone-event"));
        audio->addFormat(KvMediaFormat(120, "scramble"));
        KvMediaSession session(audio);
        session.setUserName("alice");
        session.setOriginAddress("192.0.2.10");
        session.setConnectionAddress("192.0.2.10");
        benchmark::DoNotOptimize(session.getSdp());
    }
}

void sdpMessageRoundTrip(benchmark::State& state, const char* file) {
    const std::string body = sdpBody(state, file);
    for (auto _ : state) {
        KvByteArrayInputStream in(
            KvByteArray::sCreate(static_cast<uint32_t>(body.size()), body.data()));
        KvSdpMsg message;
        message.parse(in);
        CountingOutput out;
        message.serialize(out);
        benchmark::DoNotOptimize(out.count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

#ifdef KV_HAVE_SOFIA
// The baseline: sofia-sip's SDP parser on the same body, into its session structure.
void sofiaSdpParse(benchmark::State& state, const char* file) {
    const std::string body = sdpBody(state, file);
    for (auto _ : state) {
        sdp_parser_t* parser =
            sdp_parse(nullptr, body.data(), static_cast<issize_t>(body.size()), 0);
        if (!sdp_session(parser)) {
            state.SkipWithError("sofia-sip does not parse the body");
            sdp_parser_free(parser);
            break;
        }
        benchmark::DoNotOptimize(sdp_session(parser));
        sdp_parser_free(parser);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

// The baseline for the round trip: sofia-sip's parse and print.
void sofiaSdpRoundTrip(benchmark::State& state, const char* file) {
    const std::string body = sdpBody(state, file);
    for (auto _ : state) {
        sdp_parser_t* parser =
            sdp_parse(nullptr, body.data(), static_cast<issize_t>(body.size()), 0);
        sdp_printer_t* printer = sdp_print(nullptr, sdp_session(parser), nullptr, 0, 0);
        benchmark::DoNotOptimize(sdp_message_size(printer));
        sdp_printer_free(printer);
        sdp_parser_free(parser);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
#endif

} // namespace

BENCHMARK_CAPTURE(mediaSessionParse, offer_audio_video, "a_invite.sip");
BENCHMARK_CAPTURE(mediaSessionParse, answer_audio_video, "b_200ok.sip");
BENCHMARK_CAPTURE(mediaSessionParse, answer_audio, "e_compact.sip");
BENCHMARK(mediaSessionBuild);
BENCHMARK_CAPTURE(sdpMessageRoundTrip, offer_audio_video, "a_invite.sip");
#ifdef KV_HAVE_SOFIA
BENCHMARK_CAPTURE(sofiaSdpParse, offer_audio_video, "a_invite.sip");
BENCHMARK_CAPTURE(sofiaSdpRoundTrip, offer_audio_video, "a_invite.sip");
#endif

BENCHMARK_MAIN();
