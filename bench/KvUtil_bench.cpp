// Throughput of the utility library's hot paths: MD5 (against OpenSSL's when it is available),
// string handle copies and comparisons, and byte-array stream reads.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvMD5.h"
#include "KvStringBuffer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#ifdef KV_HAVE_OPENSSL
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/md5.h>
#endif

namespace {

std::vector<uint8_t> sampleBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 131 + 17);
    return bytes;
}

void BM_KvMD5(benchmark::State& state) {
    std::vector<uint8_t> input = sampleBytes(static_cast<size_t>(state.range(0)));
    uint8_t digest[16];
    for (auto _ : state) {
        KvMD5 context;
        context.update(input.data(), input.size());
        context.final(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_KvMD5)->Arg(64)->Arg(1024);

// The array form that the stack's digest code uses: includes the result's allocation.
void BM_KvMD5Digest(benchmark::State& state) {
    std::vector<uint8_t> input = sampleBytes(static_cast<size_t>(state.range(0)));
    KvHandle<KvByteArray> array =
        KvByteArray::sCreate(static_cast<uint32_t>(input.size()), input.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(KvMD5::digest(array));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_KvMD5Digest)->Arg(64)->Arg(1024);

#ifdef KV_HAVE_OPENSSL
void BM_OpenSslMD5(benchmark::State& state) {
    std::vector<uint8_t> input = sampleBytes(static_cast<size_t>(state.range(0)));
    unsigned char digest[16];
    for (auto _ : state) {
        MD5_CTX context;
        MD5_Init(&context);
        MD5_Update(&context, input.data(), input.size());
        MD5_Final(digest, &context);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_OpenSslMD5)->Arg(64)->Arg(1024);
#pragma GCC diagnostic pop
#endif

void BM_StringHandleCopy(benchmark::State& state) {
    KvString source("sip:alice@atlanta.example.com;transport=tcp");
    for (auto _ : state) {
        KvString copy(source);
        benchmark::DoNotOptimize(copy.get());
    }
}
BENCHMARK(BM_StringHandleCopy);

void BM_StringHandleCompare(benchmark::State& state) {
    // Equal texts in separate buffers: the comparison has to read both.
    KvString left("z9hG4bK776asdhds-branch-value-0001");
    KvString right("z9hG4bK776asdhds-branch-value-0001");
    for (auto _ : state)
        benchmark::DoNotOptimize(left == right);
}
BENCHMARK(BM_StringHandleCompare);

void BM_StringCompareWithText(benchmark::State& state) {
    KvString text("application/sdp");
    for (auto _ : state)
        benchmark::DoNotOptimize(text == "application/sdp");
}
BENCHMARK(BM_StringCompareWithText);

void BM_ByteArrayStreamReadByte(benchmark::State& state) {
    std::vector<uint8_t> input = sampleBytes(1024);
    KvHandle<KvByteArray> array = KvByteArray::sCreate(1024, input.data());
    for (auto _ : state) {
        KvByteArrayInputStream stream(array);
        int sum = 0;
        for (int c = stream.read(); c >= 0; c = stream.read())
            sum += c;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_ByteArrayStreamReadByte);

void BM_ByteArrayStreamReadBlock(benchmark::State& state) {
    std::vector<uint8_t> input = sampleBytes(1024);
    KvHandle<KvByteArray> array = KvByteArray::sCreate(1024, input.data());
    char buffer[64];
    for (auto _ : state) {
        KvByteArrayInputStream stream(array);
        while (stream.read(buffer, sizeof buffer, 0) > 0)
            benchmark::DoNotOptimize(buffer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_ByteArrayStreamReadBlock);

} // namespace

BENCHMARK_MAIN();
