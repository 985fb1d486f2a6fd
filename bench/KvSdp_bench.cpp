// SDP parse and build through the media session, and the SDP message's parse and write-back.
#include "KvByteArrayInputStream.h"
#include "KvInetAddress.h"
#include "KvMediaSession.h"
#include "KvOutputStream.h"
#include "KvSdpMsg.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string sdpBody(const char* file) {
    std::ifstream in(std::string(KV_CORPUS_DIR "/bench/") + file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    size_t body = text.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : text.substr(body + 4);
}

class CountingOutput : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(uint8_t) override { ++count; }
    void write(const void*, uint32_t length, uint32_t) override { count += length; }
    size_t count = 0;
};

void mediaSessionParse(benchmark::State& state, const char* file) {
    const std::string body = sdpBody(file);
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
    const std::string body = sdpBody(file);
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

} // namespace

BENCHMARK_CAPTURE(mediaSessionParse, offer_audio_video, "a_invite.sip");
BENCHMARK_CAPTURE(mediaSessionParse, answer_audio_video, "b_200ok.sip");
BENCHMARK_CAPTURE(mediaSessionParse, answer_audio, "e_compact.sip");
BENCHMARK(mediaSessionBuild);
BENCHMARK_CAPTURE(sdpMessageRoundTrip, offer_audio_video, "a_invite.sip");

BENCHMARK_MAIN();
