// What the SIP and SDP benchmark programs share: allocation counting, the measured loop and a
// summary of our time over the peers'. Included by exactly one source of each program, since it
// replaces the allocator's entry points.
#pragma once

#include "KvObjectPool.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

// ---- allocation counts
//
// Every malloc of the process (ours through operator new, the peers' directly) is counted with its
// bytes, so a benchmark can report allocations per message. The counts
// are per thread so that no other thread's work is charged to a benchmark. Under a sanitizer, which
// brings its own allocator, nothing is counted.

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KV_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define KV_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef KV_COUNT_ALLOCATIONS
#define KV_COUNT_ALLOCATIONS 1
#endif

namespace {
thread_local uint64_t tMallocCount = 0;
thread_local uint64_t tMallocBytes = 0;
} // namespace

#if KV_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
    ++tMallocCount;
    tMallocBytes += size;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    ++tMallocCount;
    tMallocBytes += count * size;
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    if (!block)
        ++tMallocCount;
    // A grown block counts its growth.
    const size_t before = block ? malloc_usable_size(block) : 0;
    if (size > before)
        tMallocBytes += size - before;
    return __libc_realloc(block, size);
}
void free(void* block) {
    __libc_free(block);
}
}

namespace {
void* countedNew(size_t size) {
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
} // namespace

void* operator new(size_t size) {
    return countedNew(size);
}
void* operator new[](size_t size) {
    return countedNew(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}
#endif // KV_COUNT_ALLOCATIONS

namespace {

struct AllocationProbe {
    uint64_t mallocs = tMallocCount;
    uint64_t bytes = tMallocBytes;
    uint64_t objects = KvObjectPool::takenBlocks();
    uint64_t objectBytes = KvObjectPool::takenBytes();
    // Per iteration of this thread, as counters that the summary reads back. Our counted objects
    // are also counted as the pool hands them out, whether or not they reach malloc.
    void report(benchmark::State& state, bool ours) const {
        if (!KV_COUNT_ALLOCATIONS)
            return;
        const double n = static_cast<double>(state.iterations());
        const auto perThread = benchmark::Counter::kAvgThreads;
        state.counters["mallocs"] =
            benchmark::Counter(static_cast<double>(tMallocCount - mallocs) / n, perThread);
        state.counters["bytes"] =
            benchmark::Counter(static_cast<double>(tMallocBytes - bytes) / n, perThread);
        if (ours) {
            state.counters["objects"] = benchmark::Counter(
                static_cast<double>(KvObjectPool::takenBlocks() - objects) / n, perThread);
            state.counters["objectBytes"] = benchmark::Counter(
                static_cast<double>(KvObjectPool::takenBytes() - objectBytes) / n, perThread);
        }
    }
};

// Runs one measured loop: the body once per iteration, the allocations counted around the loop,
// and the bytes per message when there is a message text.
template <class Body>
void measure(benchmark::State& state, size_t messageSize, bool ours, Body body) {
    AllocationProbe probe;
    for (auto _ : state)
        body();
    probe.report(state, ours);
    if (messageSize)
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * messageSize));
}

using KvBenchFunction = void (*)(benchmark::State&, const std::string&);

// A parser that a benchmark program measures: its name and its two runs over a text.
struct KvContender {
    const char* who;
    KvBenchFunction parse;
    KvBenchFunction parseSerialize;
};

// Parse/name/who and ParseSerialize/name/who over the text, for every contender.
void registerContenders(const std::string& name, const std::string& text,
                        const std::vector<KvContender>& contenders) {
    for (const KvContender& contender : contenders) {
        benchmark::RegisterBenchmark(("Parse/" + name + "/" + contender.who).c_str(),
                                     contender.parse, text);
        benchmark::RegisterBenchmark(("ParseSerialize/" + name + "/" + contender.who).c_str(),
                                     contender.parseSerialize, text);
    }
}

std::string readCorpusFile(const std::string& path) {
    std::ifstream in(std::string(KV_CORPUS_DIR "/") + path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (!in || content.str().empty()) {
        std::fprintf(stderr, "cannot read %s/%s\n", KV_CORPUS_DIR, path.c_str());
        std::exit(2);
    }
    return content.str();
}

// ---- the summary: our time over theirs, per message

struct Result {
    double nanoseconds = 0;
    double mallocs = -1;
    double bytes = -1;
    double objects = -1;
    double objectBytes = -1;
};

// Keeps, per benchmark, the fastest of its repetitions: on a shared machine the other load only
// ever adds time, so the minimum is the steadiest figure for ours and the peers' alike.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double nanoseconds = run.GetAdjustedCPUTime() * nanosecondsPer(run.time_unit);
            auto found = m_results.find(run.run_name.function_name);
            if (found != m_results.end() && found->second.nanoseconds <= nanoseconds)
                continue;
            Result& result = m_results[run.run_name.function_name];
            result.nanoseconds = nanoseconds;
            auto counter = [&run](const char* name) {
                auto found = run.counters.find(name);
                return found == run.counters.end() ? -1.0 : found->second.value;
            };
            result.mallocs = counter("mallocs");
            result.bytes = counter("bytes");
            result.objects = counter("objects");
            result.objectBytes = counter("objectBytes");
        }
    }

    const Result* find(const std::string& name) const {
        auto found = m_results.find(name);
        return found == m_results.end() ? nullptr : &found->second;
    }

private:
    static double nanosecondsPer(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond:
            return 1e9;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kMicrosecond:
            return 1e3;
        default:
            return 1;
        }
    }

    std::map<std::string, Result> m_results;
};

std::string cell(const Result* result, double Result::*field, const char* format) {
    if (!result || result->*field < 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, result->*field);
    return text;
}

std::string ratio(const Result* ours, const Result* theirs) {
    if (!ours || !theirs || theirs->nanoseconds <= 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ours->nanoseconds / theirs->nanoseconds);
    return text;
}

// One table per operation: a row per message named operation/message/{kv,osip2,sofia-sip}.
void printSummary(const SummaryReporter& reporter, const std::vector<std::string>& operations,
                  const std::vector<std::string>& messages) {
    for (const std::string& operation : operations) {
        std::printf("\n%s: CPU ns per message, the fastest repetition; ratio = ours / theirs "
                    "(lower is better); allocations and allocated bytes per message\n\n",
                    operation.c_str());
        std::printf(
            "| message | ours | osip2 | sofia-sip | ours/osip2 | ours/sofia-sip | "
            "ours objects (bytes) | ours malloc (bytes) | osip2 malloc (bytes) | sofia-sip malloc "
            "(bytes) |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const std::string& message : messages) {
            const std::string base = operation + "/" + message + "/";
            const Result* ours = reporter.find(base + "kv");
            const Result* osip = reporter.find(base + "osip2");
            const Result* sofia = reporter.find(base + "sofia-sip");
            auto allocations = [](const Result* result) {
                return cell(result, &Result::mallocs, "%.0f") + " (" +
                       cell(result, &Result::bytes, "%.0f") + ")";
            };
            const std::string objects = cell(ours, &Result::objects, "%.0f") + " (" +
                                        cell(ours, &Result::objectBytes, "%.0f") + ")";
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", message.c_str(),
                        cell(ours, &Result::nanoseconds, "%.0f").c_str(),
                        cell(osip, &Result::nanoseconds, "%.0f").c_str(),
                        cell(sofia, &Result::nanoseconds, "%.0f").c_str(),
                        ratio(ours, osip).c_str(), ratio(ours, sofia).c_str(), objects.c_str(),
                        allocations(ours).c_str(), allocations(osip).c_str(),
                        allocations(sofia).c_str());
        }
    }
}

// Unless told otherwise: several repetitions, run in random order across the benchmarks, so that a
// change of load on the machine falls on ours and the peers' alike. False when the arguments are
// not understood.
bool initializeBenchmark(int argc, char** argv) {
    static std::vector<char*> arguments;
    arguments.assign(argv, argv + argc);
    auto given = [&](const char* flag) {
        for (int i = 1; i < argc; ++i)
            if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
                return true;
        return false;
    };
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    if (!given("--benchmark_repetitions"))
        arguments.push_back(repetitions);
    if (!given("--benchmark_enable_random_interleaving"))
        arguments.push_back(interleaving);
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    return !benchmark::ReportUnrecognizedArguments(count, arguments.data());
}

SummaryReporter::OutputOptions consoleOptions() {
    // Colours only on a terminal: the output is often kept in a file.
    return isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                 : benchmark::ConsoleReporter::OO_Tabular;
}

} // namespace
