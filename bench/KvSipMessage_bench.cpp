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

#include "KvBenchSupport.h"

#ifdef KV_HAVE_OSIP2
#include <osipparser2/osip_parser.h>
#endif
#ifdef KV_HAVE_SOFIA
#include <sofia-sip/msg.h>
#include <sofia-sip/sip.h>
#include <sofia-sip/sip_header.h>
#endif

namespace {

// ---- the messages

constexpr int kThreadCounts[] = {1, 2, 4, 8};

struct Message {
    std::string name;
    std::string text;
};

// The five benchmark messages, then the heaviest of the RFC 4475 torture messages.
std::vector<Message> loadMessages() {
    std::vector<Message> messages;
    for (const char* name : {"a_invite", "b_200ok", "c_register", "d_bye", "e_compact"})
        messages.push_back({name, readCorpusFile(std::string("bench/") + name + ".sip")});
    messages.push_back({"longreq", readCorpusFile("rfc4475/longreq.dat")});
    return messages;
}

// ---- ours

KvHandle<KvByteArray> bytesOf(const std::string& text) {
    return KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data());
}

bool checkOurs(benchmark::State& state, const KvHandle<KvByteArray>& bytes) {
    KvByteArrayInputStream in(bytes);
    KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(in);
    // The torture message keeps all but its over-long header name, so it is malformed, not lost.
    if (message.isNull() || (!message->isValid() && message->getParseState() != KV_MALFORMED)) {
        state.SkipWithError("the message does not parse");
        return false;
    }
    return true;
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

void printSipSummary(const SummaryReporter& reporter, const std::vector<Message>& messages) {
    std::vector<std::string> names;
    for (const Message& message : messages)
        names.push_back(message.name);
    printSummary(reporter, {"ParseSerialize", "Parse"}, names);
    std::vector<std::string> threaded;
    for (int threads : kThreadCounts)
        threaded.push_back("a_invite/threads:" + std::to_string(threads));
    printSummary(reporter, {"ThreadsParseSerialize"}, threaded);
    const Result* built = reporter.find("SerializeBuiltInvite/kv");
    if (built)
        std::printf("\nSerializeBuiltInvite: %.0f ns, %.0f objects, %.0f malloc per message\n",
                    built->nanoseconds, built->objects, built->mallocs);
}

} // namespace

int main(int argc, char** argv) {
    if (!initializeBenchmark(argc, argv))
        return 1;
#ifdef KV_HAVE_OSIP2
    parser_init();
#endif
    const std::vector<KvContender> contenders = {
        {"kv", kvParse, kvParseSerialize},
#ifdef KV_HAVE_OSIP2
        {"osip2", osipParse, osipParseSerialize},
#endif
#ifdef KV_HAVE_SOFIA
        {"sofia-sip", sofiaParse, sofiaParseSerialize},
#endif
    };
    const std::vector<Message> messages = loadMessages();
    for (const Message& message : messages)
        registerContenders(message.name, message.text, contenders);
    // Several threads at once, each on its own copy: the time per message per thread should not
    // grow with the threads.
    for (const KvContender& contender : contenders)
        for (int threads : kThreadCounts)
            benchmark::RegisterBenchmark(("ThreadsParseSerialize/a_invite/threads:" +
                                          std::to_string(threads) + "/" + contender.who)
                                             .c_str(),
                                         contender.parseSerialize, messages.front().text)
                ->Threads(threads);
    benchmark::RegisterBenchmark("SerializeBuiltInvite/kv", kvSerializeBuilt);
    for (int count : {1000, 10000, 20000})
        benchmark::RegisterBenchmark(("ParseManyHeaders/" + std::to_string(count)).c_str(), kvParse,
                                     manyHeadersRequest(count))
            ->Unit(benchmark::kMicrosecond);

    SummaryReporter reporter(consoleOptions());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSipSummary(reporter, messages);
    benchmark::Shutdown();
    return 0;
}
