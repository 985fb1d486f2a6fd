// Cost of reading the addresses of every message: URLs, name-addresses and Via values.
#include "KvOutputSink.h"
#include "KvSipContactHeader.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipNameAddress.h"
#include "KvSipURL.h"
#include "KvSipViaHeader.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

template <class F> void readEach(benchmark::State& state, const char* text, F read) {
    const uint32_t length = static_cast<uint32_t>(std::strlen(text));
    for (auto _ : state) {
        KvSipHeaderTextStream stream(text, length);
        read(stream);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}

void BM_RequestUri(benchmark::State& state) {
    readEach(
        state, " sip:alice@atlanta.example.com:5060;transport=tcp\r\n",
        [](KvInputStream& stream) { benchmark::DoNotOptimize(KvURI::createURI(stream, true)); });
}
BENCHMARK(BM_RequestUri);

void BM_NameAddress(benchmark::State& state) {
    readEach(state, " \"Alice Liddell\" <sip:alice@atlanta.example.com;lr>;tag=1928301774\r\n",
             [](KvInputStream& stream) {
                 KvHandle<KvSipNameAddress> address;
                 stream >> address;
                 benchmark::DoNotOptimize(address);
             });
}
BENCHMARK(BM_NameAddress);

void BM_ContactValue(benchmark::State& state) {
    readEach(state, " <sip:alice@192.0.2.4:5062;transport=tcp>;expires=3600;q=0.7\r\n",
             [](KvInputStream& stream) {
                 KvSipContactHeader contact;
                 contact.doParse(stream);
             });
}
BENCHMARK(BM_ContactValue);

void BM_ViaValue(benchmark::State& state) {
    readEach(state, " SIP/2.0/UDP pc33.atlanta.example.com:5060;branch=z9hG4bK776asdhds;rport\r\n",
             [](KvInputStream& stream) {
                 KvSipViaHeader via;
                 via.doParse(stream);
             });
}
BENCHMARK(BM_ViaValue);

void BM_WriteUrl(benchmark::State& state) {
    KvSipURL url("sip:alice@atlanta.example.com:5060;transport=tcp?Subject=lunch%20today");
    for (auto _ : state)
        benchmark::DoNotOptimize(url.serialize());
}
BENCHMARK(BM_WriteUrl);

} // namespace

BENCHMARK_MAIN();
