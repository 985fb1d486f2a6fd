#include "KvException.h"
#include "KvParameters.h"
#include "KvSipParseError.h"
#include "KvSipViaHeader.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

KvHandle<KvSipViaHeader> parseValue(const std::string& value) {
    KvHandle<KvSipViaHeader> via(new KvSipViaHeader());
    auto stream = kvStreamOf(value + "\r\n");
    via->doParse(*stream);
    return via;
}

std::string text(const KvString& s) {
    return s.c_str();
}

const char* const kInvalid = "parse: Invalid Via header";
const char* const kInvalidTtl = "parse: Invalid value for ttl parameter in Via header";

} // namespace

TEST(KvSipViaHeader, TransportIsUpperCaseAndDefaultPortIsNotWritten) {
    KvHandle<KvSipViaHeader> via = parseValue("SIP/2.0/udp host.example.com");
    EXPECT_STREQ(via->getProtocolName(), "SIP");
    EXPECT_STREQ(via->getProtocolVersion(), "2.0");
    EXPECT_STREQ(via->getTransport(), "UDP");
    EXPECT_STREQ(via->getHost(), "host.example.com");
    EXPECT_EQ(via->getPort(), 5060u);
    EXPECT_FALSE(via->hasPort());
    EXPECT_EQ(kvSerialized(via), "SIP/2.0/UDP host.example.com");
    EXPECT_TRUE(via->getBranch().isEmpty());
}

TEST(KvSipViaHeader, PortCommentAndParameters) {
    KvHandle<KvSipViaHeader> via =
        parseValue("SIP/2.0/TCP h:5070 ( my  comment ) ;branch=z9hG4bK1;received=10.0.0.1");
    EXPECT_EQ(via->getPort(), 5070u);
    EXPECT_TRUE(via->hasPort());
    EXPECT_STREQ(via->getComment(), "my  comment ");
    EXPECT_EQ(text(via->getBranch()), "z9hG4bK1");
    EXPECT_EQ(text(via->getReceived()), "10.0.0.1");
    // The list writes its pairs newest first; the comment follows them.
    EXPECT_EQ(kvSerialized(via),
              "SIP/2.0/TCP h:5070;received=10.0.0.1;branch=z9hG4bK1 (my  comment )");

    // Behind the parameters a comment is part of the parameter text.
    KvHandle<KvSipViaHeader> late = parseValue("SIP/2.0/UDP h;branch=x (c)");
    EXPECT_STREQ(late->getComment(), "");
    EXPECT_EQ(text(late->getBranch()), "x (c)");

    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h (open"); }), kInvalid);
}

TEST(KvSipViaHeader, IncompleteValuesAreRefused) {
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP"); }), kInvalid);
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP ;branch=x"); }), kInvalid);
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0"); }), kInvalid);
    EXPECT_EQ(kvFailureOf([] { parseValue(""); }), kInvalid);
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h:"); }), "other: unsigned number expected");
}

TEST(KvSipViaHeader, PortsAreCheckedNumbers) {
    EXPECT_EQ(parseValue("SIP/2.0/UDP h:65535")->getPort(), 65535u);
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h:65536"); }), kInvalid);
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h:4294967297"); }), kInvalid);
}

TEST(KvSipViaHeader, IPv6SentBy) {
    KvHandle<KvSipViaHeader> via = parseValue("SIP/2.0/UDP [2001:db8::1]:5070;branch=z9hG4bKa");
    EXPECT_STREQ(via->getHost(), "[2001:db8::1]");
    EXPECT_EQ(via->getPort(), 5070u);
    EXPECT_EQ(kvSerialized(via), "SIP/2.0/UDP [2001:db8::1]:5070;branch=z9hG4bKa");
    EXPECT_STREQ(parseValue("SIP/2.0/TCP [::1]")->getHost(), "[::1]");
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP [::1"); }), kInvalid);
}

TEST(KvSipViaHeader, TtlRange) {
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h;ttl=255"); }), "no failure");
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h;ttl=0"); }), "no failure");
    for (const char* bad : {"256", "-1", "4294967296", "99999999999999999999999"}) {
        std::string value = std::string("SIP/2.0/UDP h;maddr=224.0.0.1;ttl=") + bad;
        EXPECT_EQ(kvFailureOf([&] { parseValue(value); }), kInvalidTtl) << bad;
    }
    // Read like a C decimal conversion: no digits count as 0, trailing text is ignored.
    for (const char* good : {"abc", "12x", "+7", "-0"}) {
        std::string value = std::string("SIP/2.0/UDP h;ttl=") + good;
        EXPECT_EQ(kvFailureOf([&] { parseValue(value); }), "no failure") << good;
    }
    EXPECT_EQ(kvFailureOf([] { parseValue("SIP/2.0/UDP h;ttl"); }), "no failure");
}

TEST(KvSipViaHeader, QuotedCommaBelongsToTheParameter) {
    auto vias = kvParseChain<KvSipViaHeader>(
        "Via: SIP/2.0/UDP a.example.com;x=\"p,q\";branch=z9hG4bK1, SIP/2.0/TCP "
        "b.example.com;branch=z9hG4bK2\r\n");
    ASSERT_EQ(vias.size(), 2u);
    EXPECT_STREQ(vias[0]->getParameters()->getParameterText("x"), "\"p,q\"");
    EXPECT_EQ(text(vias[0]->getBranch()), "z9hG4bK1");
    EXPECT_EQ(text(vias[1]->getBranch()), "z9hG4bK2");
}

TEST(KvSipViaHeader, CommaSeparatedValuesMakeAChain) {
    auto vias =
        kvParseChain<KvSipViaHeader>("Via: SIP/2.0/UDP a.example.com;branch=z9hG4bK1, SIP/2.0/TCP "
                                     "b.example.com:5061;branch=z9hG4bK2\r\n");
    ASSERT_EQ(vias.size(), 2u);
    EXPECT_STREQ(vias[0]->getHost(), "a.example.com");
    EXPECT_EQ(text(vias[0]->getBranch()), "z9hG4bK1");
    EXPECT_STREQ(vias[1]->getHost(), "b.example.com");
    EXPECT_STREQ(vias[1]->getTransport(), "TCP");
    EXPECT_EQ(vias[1]->getPort(), 5061u);
    EXPECT_EQ(text(vias[1]->getName()), "Via");

    auto compact = kvParseChain<KvSipViaHeader>("v: SIP/2.0/UDP c.example.com\r\n");
    EXPECT_EQ(text(compact[0]->getName()), "v");
    EXPECT_EQ(compact[0]->getId(), KV_HEADER_VIA);
}

TEST(KvSipViaHeader, BuiltViaAndItsParameters) {
    KvHandle<KvSipViaHeader> via(new KvSipViaHeader("10.0.0.1", 5060, "tcp"));
    EXPECT_EQ(kvSerialized(via), "SIP/2.0/TCP 10.0.0.1:5060");
    EXPECT_EQ(via->getId(), KV_HEADER_VIA);
    EXPECT_EQ(text(via->getName()), "Via");
    via->setBranch("z9hG4bKold");
    via->setBranch("z9hG4bKnew");
    EXPECT_EQ(kvSerialized(via), "SIP/2.0/TCP 10.0.0.1:5060;branch=z9hG4bKnew");

    KvHandle<KvSipViaHeader> received =
        parseValue("SIP/2.0/UDP h;received=1.2.3.4;maddr=5.6.7.8;hidden;branch=b");
    EXPECT_EQ(text(received->getMaddr()), "5.6.7.8");
    KvHandle<KvSipViaHeader> copy(static_cast<KvSipViaHeader*>(received->clone()));
    copy->removeHidden();
    copy->removeMaddr();
    copy->removeReceived();
    EXPECT_EQ(kvSerialized(copy), "SIP/2.0/UDP h;branch=b");
    EXPECT_EQ(text(received->getReceived()), "1.2.3.4");
    EXPECT_EQ(received->getParameters()->getCount(), 4u);

    EXPECT_EQ(kvFailureOf([] { KvSipViaHeader via("", 5060, "UDP"); }), kInvalid);
    EXPECT_EQ(kvFailureOf([] { KvSipViaHeader via("h", 5060, nullptr); }), kInvalid);
}

TEST(KvSipViaHeader, TortureTransports) {
    KV_REQUIRE_CORPUS();
    auto lines = kvLinesStartingWith(kvCorpusFile("rfc4475/transports.dat"), "Via:");
    ASSERT_EQ(lines.size(), 5u);
    const char* transports[] = {"UDP", "SCTP", "TLS", "UNKNOWN", "TCP"};
    for (size_t i = 0; i < lines.size(); ++i) {
        auto vias = kvParseChain<KvSipViaHeader>(lines[i]);
        ASSERT_EQ(vias.size(), 1u);
        EXPECT_STREQ(vias[0]->getTransport(), transports[i]);
        EXPECT_EQ(std::string(vias[0]->getHost()), "t" + std::to_string(i + 1) + ".example.com");
        EXPECT_EQ(text(vias[0]->getBranch()).substr(0, 7), "z9hG4bK");
        EXPECT_EQ("Via: " + kvSerialized(vias[0]) + "\r\n", lines[i]);
    }
}

TEST(KvSipViaHeader, TortureFoldedAndSpacedValues) {
    KV_REQUIRE_CORPUS();
    auto via = kvParseChain<KvSipViaHeader>(kvCorpusHeaderLine("wsinv.dat", "Via "));
    ASSERT_EQ(via.size(), 1u);
    EXPECT_STREQ(via[0]->getTransport(), "UDP");
    EXPECT_STREQ(via[0]->getHost(), "192.0.2.2");
    EXPECT_EQ(text(via[0]->getBranch()), "390skdjuw");
    EXPECT_EQ(kvSerialized(via[0]), "SIP/2.0/UDP 192.0.2.2;branch=390skdjuw");

    auto two = kvParseChain<KvSipViaHeader>(kvCorpusHeaderLine("wsinv.dat", "v:"));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_STREQ(two[0]->getTransport(), "TCP");
    EXPECT_STREQ(two[0]->getHost(), "spindle.example.com");
    EXPECT_EQ(text(two[0]->getBranch()), "z9hG4bK9ikj8");
    EXPECT_STREQ(two[1]->getProtocolName(), "SIP");
    EXPECT_STREQ(two[1]->getProtocolVersion(), "2.0");
    EXPECT_STREQ(two[1]->getTransport(), "UDP");
    EXPECT_STREQ(two[1]->getHost(), "192.168.255.111");
    EXPECT_EQ(text(two[1]->getBranch()), "z9hG4bK30239");
}

// Every Via line of the torture messages, whole and cut short, parses or fails with a stack
// exception.
TEST(KvSipViaHeader, EveryTortureViaLineFailsCleanlyIfAtAll) {
    KV_REQUIRE_CORPUS();
    size_t seen = 0;
    for (const KvCorpusMessage& corpus : kvCorpusMessages({"rfc4475"})) {
        const std::string& message = corpus.text;
        std::string headers = message.substr(0, message.find("\r\n\r\n") + 2);
        for (const char* prefix : {"Via", "v:", "v :", "VIA"}) {
            for (const std::string& line : kvLinesStartingWith(headers, prefix)) {
                ++seen;
                for (size_t cut = line.size(); cut > 2; --cut) {
                    try {
                        for (auto& via : kvParseChain<KvSipViaHeader>(line.substr(0, cut)))
                            kvSerialized(via);
                    } catch (KvHandle<KvException>&) {
                    }
                }
            }
        }
    }
    EXPECT_GT(seen, 40u);
}
