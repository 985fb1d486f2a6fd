// Costs of the SIP message path: parse, parse plus write-back, and write-back of a request built
// from values, over the benchmark messages. When the peer parsers are installed the same run
// measures them on the same messages, and a summary of our time over theirs follows the run.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvParameters.h"
#include "KvSipContactHeader.h"
#include "KvSipFromHeader.h"
#include "KvSipInviteMessage.h"
#include "KvSipMessage.h"
#include "KvSipNameAddress.h"
#include "KvSipToHeader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#ifdef KV_HAVE_OSIP2
#include <osipparser2/osip_parser.h>
#endif
#ifdef KV_HAVE_SOFIA
#include <sofia-sip/msg.h>
#include <sofia-sip/sip.h>
#include <sofia-sip/sip_header.h>
#endif

// ---- allocation counts
//
// Every malloc of the process (ours through operator new, the peers' directly) and every operator
// new are counted, so a benchmark can report its allocations per message. The benchmarks run on one
// thread; the counts are per thread so that no other thread's work is charged to them. Under a
// sanitizer, which brings its own allocator, nothing is counted.

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
thread_local uint64_t tNewCount = 0;
} // namespace

#if KV_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
    ++tMallocCount;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    ++tMallocCount;
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    if (!block)
        ++tMallocCount;
    return __libc_realloc(block, size);
}
void free(void* block) {
    __libc_free(block);
}
}

namespace {
void* countedNew(size_t size) {
    ++tNewCount;
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
    ++tNewCount;
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    ++tNewCount;
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
    uint64_t news = tNewCount;
    // Per iteration, as counters that the summary reads back.
    void report(benchmark::State& state, bool withNew) const {
        if (!KV_COUNT_ALLOCATIONS)
            return;
        const double n = static_cast<double>(state.iterations());
        state.counters["mallocs"] = static_cast<double>(tMallocCount - mallocs) / n;
        if (withNew)
            state.counters["news"] = static_cast<double>(tNewCount - news) / n;
    }
};

// ---- the messages

struct Message {
    std::string name;
    std::string text;
};

std::vector<Message> loadMessages() {
    std::vector<Message> messages;
    for (const char* name : {"a_invite", "b_200ok", "c_register", "d_bye", "e_compact"}) {
        std::ifstream in(std::string(KV_CORPUS_DIR "/bench/") + name + ".sip", std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        if (!in || content.str().empty()) {
            std::fprintf(stderr, "cannot read %s/bench/%s.sip\n", KV_CORPUS_DIR, name);
            std::exit(2);
        }
        messages.push_back({name, content.str()});
    }
    return messages;
}

// ---- ours

KvHandle<KvByteArray> bytesOf(const std::string& text) {
    return KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data());
}

bool checkOurs(benchmark::State& state, const KvHandle<KvByteArray>& bytes) {
    KvByteArrayInputStream in(bytes);
    KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(in);
    if (message.isNull() || !message->isValid()) {
        state.SkipWithError("the message does not parse as valid");
        return false;
    }
    return true;
}

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

void kvParse(benchmark::State& state, const std::string& text) {
    KvHandle<KvByteArray> bytes = bytesOf(text);
    if (!checkOurs(state, bytes))
        return;
    measure(state, text.size(), true, [&] {
        KvByteArrayInputStream in(bytes);
        KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(in);
        benchmark::DoNotOptimize(message.get());
    });
}

// What the transport does with a received message that it answers or forwards: parse, write the
// message into an output stream, take the bytes as an array to send.
void kvParseSerialize(benchmark::State& state, const std::string& text) {
    KvHandle<KvByteArray> bytes = bytesOf(text);
    if (!checkOurs(state, bytes))
        return;
    measure(state, text.size(), true, [&] {
        KvByteArrayInputStream in(bytes);
        KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(in);
        KvByteArrayOutputStream out;
        message->serialize(out);
        KvHandle<KvByteArray> sent = out.toByteArray();
        benchmark::DoNotOptimize(sent.get());
    });
}

// A request of count short extension headers, all in the one chain of headers without a class: a
// peer may send thousands, and reading them must cost time linear in their number.
std::string manyHeadersRequest(int count) {
    std::string text = "OPTIONS sip:bob@biloxi.com SIP/2.0\r\n"
                       "Via: SIP/2.0/UDP pc33.atlanta.com;branch=z9hG4bK776asdhds\r\n"
                       "To: <sip:bob@biloxi.com>\r\n"
                       "From: <sip:alice@atlanta.com>;tag=1928301774\r\n"
                       "Call-ID: a84b4c76e66710\r\n"
                       "CSeq: 63104 OPTIONS\r\n";
    for (int i = 0; i < count; ++i)
        text += "X-" + std::to_string(i % 100) + ": 1\r\n";
    return text + "Content-Length: 0\r\n\r\n";
}

// A request that the application builds, written as it goes out.
void kvSerializeBuilt(benchmark::State& state) {
    static const char kSdp[] = "v=0\r\n"
                               "o=alice 2890844526 2890844526 IN IP4 pc33.atlanta.com\r\n"
                               "s=-\r\n"
                               "c=IN IP4 192.0.2.101\r\n"
                               "t=0 0\r\n"
                               "m=audio 49172 RTP/AVP 0 8 101\r\n"
                               "a=rtpmap:0 PCMU/8000\r\n"
                               "a=rtpmap:8 PCMA/8000\r\n"
                               "a=rtpmap:101 telephone-event/8000\r\n";
    KvHandle<KvSipFromHeader> from(new KvSipFromHeader(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("Alice <sip:alice@atlanta.com>")),
        KvHandle<KvParameters>()));
    from->setTag("1928301774");
    KvHandle<KvSipToHeader> to(new KvSipToHeader(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("Bob <sip:bob@biloxi.com>")),
        KvHandle<KvParameters>()));
    KvHandle<KvSipContactHeader> contact(new KvSipContactHeader(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("<sip:alice@pc33.atlanta.com>"))));
    KvHandle<KvSipMessage> invite(new KvSipInviteMessage(from, to, contact,
                                                         "a84b4c76e66710@pc33.atlanta.com", 314159,
                                                         "application/sdp", kSdp, sizeof kSdp - 1));
    measure(state, 0, true, [&] {
        KvByteArrayOutputStream out;
        invite->serialize(out);
        KvHandle<KvByteArray> sent = out.toByteArray();
        benchmark::DoNotOptimize(sent.get());
    });
}

// ---- the peers, through their public interfaces

#ifdef KV_HAVE_OSIP2
bool checkOsip(benchmark::State& state, const std::string& text) {
    osip_message_t* message = nullptr;
    osip_message_init(&message);
    int status = osip_message_parse(message, text.data(), text.size());
    osip_message_free(message);
    if (status != 0)
        state.SkipWithError("osip2 does not parse the message");
    return status == 0;
}

void osipParse(benchmark::State& state, const std::string& text) {
    if (!checkOsip(state, text))
        return;
    measure(state, text.size(), false, [&] {
        osip_message_t* message = nullptr;
        osip_message_init(&message);
        osip_message_parse(message, text.data(), text.size());
        benchmark::DoNotOptimize(message);
        osip_message_free(message);
    });
}

void osipParseSerialize(benchmark::State& state, const std::string& text) {
    if (!checkOsip(state, text))
        return;
    measure(state, text.size(), false, [&] {
        osip_message_t* message = nullptr;
        osip_message_init(&message);
        osip_message_parse(message, text.data(), text.size());
        char* out = nullptr;
        size_t length = 0;
        osip_message_to_str(message, &out, &length);
        benchmark::DoNotOptimize(out);
        osip_free(out);
        osip_message_free(message);
    });
}
#endif

#ifdef KV_HAVE_SOFIA
bool checkSofia(benchmark::State& state, const std::string& text) {
    msg_t* message = msg_make(sip_default_mclass(), 0, text.data(), text.size());
    bool good = message && sip_object(message) && !sip_object(message)->sip_error;
    if (message)
        msg_destroy(message);
    if (!good)
        state.SkipWithError("sofia-sip does not parse the message");
    return good;
}

void sofiaParse(benchmark::State& state, const std::string& text) {
    if (!checkSofia(state, text))
        return;
    measure(state, text.size(), false, [&] {
        msg_t* message = msg_make(sip_default_mclass(), 0, text.data(), text.size());
        benchmark::DoNotOptimize(message);
        msg_destroy(message);
    });
}

void sofiaParseSerialize(benchmark::State& state, const std::string& text) {
    if (!checkSofia(state, text))
        return;
    measure(state, text.size(), false, [&] {
        msg_t* message = msg_make(sip_default_mclass(), 0, text.data(), text.size());
        size_t length = 0;
        char* out = msg_as_string(msg_home(message), message, nullptr, 0, &length);
        benchmark::DoNotOptimize(out);
        msg_destroy(message); // the text lives in the message's home
    });
}
#endif

// ---- the summary: our time over theirs, per message

struct Result {
    double nanoseconds = 0;
    double mallocs = -1;
    double news = -1;
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
            result.news = counter("news");
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

void printSummary(const SummaryReporter& reporter, const std::vector<Message>& messages) {
    for (const char* operation : {"ParseSerialize", "Parse"}) {
        std::printf("\n%s: CPU ns per message, the fastest repetition; ratio = ours / theirs "
                    "(lower is better); allocations per message\n\n",
                    operation);
        std::printf("| message | ours | osip2 | sofia-sip | ours/osip2 | ours/sofia-sip | "
                    "ours new | ours malloc | osip2 malloc | sofia-sip malloc |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const Message& message : messages) {
            const std::string base = std::string(operation) + "/" + message.name + "/";
            const Result* ours = reporter.find(base + "kv");
            const Result* osip = reporter.find(base + "osip2");
            const Result* sofia = reporter.find(base + "sofia-sip");
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
                        message.name.c_str(), cell(ours, &Result::nanoseconds, "%.0f").c_str(),
                        cell(osip, &Result::nanoseconds, "%.0f").c_str(),
                        cell(sofia, &Result::nanoseconds, "%.0f").c_str(),
                        ratio(ours, osip).c_str(), ratio(ours, sofia).c_str(),
                        cell(ours, &Result::news, "%.0f").c_str(),
                        cell(ours, &Result::mallocs, "%.0f").c_str(),
                        cell(osip, &Result::mallocs, "%.0f").c_str(),
                        cell(sofia, &Result::mallocs, "%.0f").c_str());
        }
    }
    const Result* built = reporter.find("SerializeBuiltInvite/kv");
    if (built)
        std::printf("\nSerializeBuiltInvite: %.0f ns, %.0f new, %.0f malloc per message\n",
                    built->nanoseconds, built->news, built->mallocs);
}

} // namespace

int main(int argc, char** argv) {
    // Unless told otherwise: several repetitions, run in random order across the benchmarks, so
    // that a change of load on the machine falls on ours and the peers' alike.
    std::vector<char*> arguments(argv, argv + argc);
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
    argc = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
#ifdef KV_HAVE_OSIP2
    parser_init();
#endif
    const std::vector<Message> messages = loadMessages();
    for (const Message& message : messages) {
        const std::string& text = message.text;
        auto add = [&](const char* operation, const char* who, auto function) {
            benchmark::RegisterBenchmark(
                (std::string(operation) + "/" + message.name + "/" + who).c_str(), function, text);
        };
        add("Parse", "kv", kvParse);
        add("ParseSerialize", "kv", kvParseSerialize);
#ifdef KV_HAVE_OSIP2
        add("Parse", "osip2", osipParse);
        add("ParseSerialize", "osip2", osipParseSerialize);
#endif
#ifdef KV_HAVE_SOFIA
        add("Parse", "sofia-sip", sofiaParse);
        add("ParseSerialize", "sofia-sip", sofiaParseSerialize);
#endif
    }
    benchmark::RegisterBenchmark("SerializeBuiltInvite/kv", kvSerializeBuilt);
    for (int count : {1000, 10000, 20000})
        benchmark::RegisterBenchmark(("ParseManyHeaders/" + std::to_string(count)).c_str(), kvParse,
                                     manyHeadersRequest(count))
            ->Unit(benchmark::kMicrosecond);

    // Colours only on a terminal: the output is often kept in a file.
    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter, messages);
    benchmark::Shutdown();
    return 0;
}
