// The message model: header chains and order, the body, validation, the text parser and writer,
// and the transaction key.
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "KvSipParseError.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "KvSipUnknownRequest.h"
#include "support/KvFailingTarget.h"
#include "support/KvSipTestSupport.h"
#include "support/KvTestLog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

KvHandle<KvSipHeader> unknown(const char* name, const char* value) {
    return KvHandle<KvSipHeader>(new KvSipUnknownHeader(name, value));
}

KvHandle<KvSipHeader> via(const char* host) {
    return KvHandle<KvSipHeader>(new KvSipViaHeader(host, 5060, "UDP"));
}

const std::string kInviteHead =
    "INVITE sip:bob@biloxi.example.com SIP/2.0\r\n"
    "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK776asdhds\r\n"
    "Max-Forwards: 70\r\n"
    "To: Bob <sip:bob@biloxi.example.com>\r\n"
    "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
    "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n"
    "CSeq: 314159 INVITE\r\n"
    "Contact: <sip:alice@pc33.atlanta.example.com>\r\n";

const std::string kInvite = kInviteHead + "Content-Type: application/sdp\r\n"
                                          "Content-Length: 4\r\n"
                                          "\r\n"
                                          "v=0\n";

std::string withRequestLine(const std::string& line) {
    return line + kInvite.substr(kInvite.find("\r\n") + 2);
}

// A stream like a socket's: one byte per read, nothing to peek at, nothing known to be available.
class KvTrickleStream : public KvInputStream {
public:
    explicit KvTrickleStream(std::string text) : m_text(std::move(text)) {}
    int read() override {
        return m_position < m_text.size() ? static_cast<unsigned char>(m_text[m_position++]) : -1;
    }
    int32_t read(void* buffer, int32_t length, int32_t offset) override {
        if (m_position >= m_text.size())
            return -1;
        if (length <= 0)
            return 0;
        static_cast<char*>(buffer)[offset] = m_text[m_position++];
        return 1;
    }
    bool markSupported() override { return true; }
    void mark(int32_t) override { m_mark = m_position; }
    void reset() override { m_position = m_mark; }

private:
    std::string m_text;
    size_t m_position = 0;
    size_t m_mark = 0;
};

} // namespace

// ---- header chains and order

TEST(KvSipMessageHeaders, ChainsKeepTheOrderAddedAndAtFrontGoesFirst) {
    KvSipResponse message;
    KvHandle<KvSipHeader> a = via("a.example.com"), b = via("b.example.com"),
                          c = via("c.example.com"), d = via("d.example.com");
    message.addHeader(a);
    message.addHeader(b);
    message.addHeader(c);
    message.addHeader(d, true);
    EXPECT_EQ(message.getViaHeader().get(), d.get());
    EXPECT_EQ(kvHeaderLines(message),
              (std::vector<std::string>{
                  "Via: SIP/2.0/UDP d.example.com:5060", "Via: SIP/2.0/UDP a.example.com:5060",
                  "Via: SIP/2.0/UDP b.example.com:5060", "Via: SIP/2.0/UDP c.example.com:5060"}));
    EXPECT_EQ(message.getHeaderOrder(), std::vector<KvSipHeaderId>{KV_HEADER_VIA});
    message.addHeader(KvHandle<KvSipHeader>());
    EXPECT_EQ(kvHeaderLines(message).size(), 4u);
}

// The message keeps each chain's end; a caller that relinks a chain by hand must not lose adds.
TEST(KvSipMessageHeaders, AddsFollowAChainRelinkedByHand) {
    KvSipResponse message;
    KvHandle<KvSipHeader> a = via("a"), b = via("b"), c = via("c");
    message.addHeader(a);
    message.addHeader(b);
    a->setNext(KvHandle<KvSipHeader>()); // b, the end, is cut off
    message.addHeader(c);
    c->appendToChain(via("d"));
    message.addHeader(via("e"));
    EXPECT_EQ(kvHeaderLines(message),
              (std::vector<std::string>{"Via: SIP/2.0/UDP a:5060", "Via: SIP/2.0/UDP c:5060",
                                        "Via: SIP/2.0/UDP d:5060", "Via: SIP/2.0/UDP e:5060"}));
}

TEST(KvSipMessageHeaders, AHeaderAlreadyInTheChainIsRefused) {
    KvSipResponse message;
    KvHandle<KvSipHeader> a = via("a"), b = via("b"), c = via("c");
    message.addHeader(a);
    message.addHeader(b);
    message.addHeader(c);
    const std::vector<std::string> before = kvHeaderLines(message);
    EXPECT_EQ(kvThrownText([&] { message.addHeader(a); }), "Adding a header twice!");
    // Further down the chain: adding it again would close a loop.
    EXPECT_EQ(kvThrownText([&] { message.addHeader(b); }), "Adding a header twice!");
    EXPECT_EQ(kvThrownText([&] { message.addHeader(c, true); }), "Adding a header twice!");
    EXPECT_EQ(kvHeaderLines(message), before);
}

TEST(KvSipMessageHeaders, AHeaderStandsInOneMessageAtATime) {
    KvHandle<KvSipMessage> source =
        kvParseMessage(kInviteHead + "Via: SIP/2.0/UDP second.example.com\r\n\r\n");
    KvHandle<KvSipHeader> top = source->getHeader(KV_HEADER_VIA);
    KvHandle<KvSipHeader> second = top->getNext();
    const std::vector<std::string> before = kvHeaderLines(*source);

    // Taken as it is, it would bring the source's other Vias along and share them.
    KvSipResponse other;
    EXPECT_EQ(kvThrownText([&] { other.addHeader(top); }), "Adding a header twice!");
    EXPECT_EQ(kvThrownText([&] { other.addHeader(second, true); }), "Adding a header twice!");
    EXPECT_TRUE(other.getHeaderOrder().empty());
    EXPECT_EQ(kvHeaderLines(*source), before);
    EXPECT_TRUE(top->isInChain());

    // A clone goes in; so does the header itself once its message is gone.
    other.addHeader(KvHandle<KvSipHeader>(static_cast<KvSipHeader*>(top->clone())));
    EXPECT_EQ(kvHeaderLines(other).size(), 1u);
    source.release();
    EXPECT_FALSE(top->isInChain());
    KvSipResponse later;
    later.addHeader(top);
    EXPECT_EQ(later.getViaHeader().get(), top.get());
}

// Hand-made links keep the rule that a header stands in one chain at a time.
TEST(KvSipMessageHeaders, AHeaderAppendedByHandBelongsToTheMessage) {
    KvSipResponse message, other;
    KvHandle<KvSipHeader> a = via("a"), b = via("b");
    message.addHeader(a);
    a->appendToChain(b);
    EXPECT_EQ(kvThrownText([&] { other.addHeader(b); }), "Adding a header twice!");
    message.addHeader(via("c"));
    other.removeHeader("Via");
    EXPECT_EQ(kvHeaderLines(message),
              (std::vector<std::string>{"Via: SIP/2.0/UDP a:5060", "Via: SIP/2.0/UDP b:5060",
                                        "Via: SIP/2.0/UDP c:5060"}));
}

TEST(KvSipMessageHeaders, CuttingAnAppendedHeaderKeepsTheChainEnd) {
    KvSipResponse message;
    KvHandle<KvSipHeader> a = via("a"), b = via("b");
    message.addHeader(a);
    a->appendToChain(b);
    message.addHeader(via("c"));
    b->setNext(KvHandle<KvSipHeader>()); // frees c, the end the message kept
    message.addHeader(via("d"));
    EXPECT_EQ(kvHeaderLines(message),
              (std::vector<std::string>{"Via: SIP/2.0/UDP a:5060", "Via: SIP/2.0/UDP b:5060",
                                        "Via: SIP/2.0/UDP d:5060"}));
}

TEST(KvSipMessageHeaders, HeadersCutOffByHandLeaveTheMessage) {
    KvHandle<KvSipMessage> message(new KvSipResponse);
    KvHandle<KvSipHeader> a = via("a"), b = via("b");
    message->addHeader(a);
    message->addHeader(b);
    a->setNext(KvHandle<KvSipHeader>());
    EXPECT_FALSE(b->isInChain());
    message.release();
    b->setNext(via("x")); // must not reach the message that is gone
    KvSipResponse other;
    other.addHeader(b);
    EXPECT_EQ(kvHeaderLines(other),
              (std::vector<std::string>{"Via: SIP/2.0/UDP b:5060", "Via: SIP/2.0/UDP x:5060"}));
}

TEST(KvSipMessageHeaders, LinkingAHeaderThatStandsInAChainIsRefused) {
    KvSipResponse message, other;
    KvHandle<KvSipHeader> a = via("a"), b = via("b"), c = via("c");
    message.addHeader(a);
    message.addHeader(c);
    other.addHeader(b);
    EXPECT_EQ(kvThrownText([&] { a->setNext(b); }), "Adding a header twice!");
    // Its own chain's head would close a loop.
    EXPECT_EQ(kvThrownText([&] { c->setNext(a); }), "Adding a header twice!");
    other.addHeader(via("d"));
    EXPECT_EQ(kvHeaderLines(message),
              (std::vector<std::string>{"Via: SIP/2.0/UDP a:5060", "Via: SIP/2.0/UDP c:5060"}));
}

TEST(KvSipMessageHeaders, AHeaderAddedAtFrontKeepsItsCommaSiblings) {
    KvHandle<KvSipMessage> message = kvParseMessage(kInviteHead + "Supported: c\r\n\r\n");
    auto stream = kvStreamOf("Supported: a, b\r\n");
    KvHandle<KvSipHeader> list = KvSipHeader::sConstructFrom(*stream);
    message->addHeader(list, true);
    std::vector<std::string> supported;
    for (KvHandle<KvSipHeader> h = message->getHeader(KV_HEADER_SUPPORTED); !h.isNull();
         h = h->getNext())
        supported.push_back(kvSerialized(h));
    EXPECT_EQ(supported, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(KvSipMessageHeaders, IdsAreWrittenInTheOrderTheyFirstEntered) {
    KvSipResponse message;
    KvHandle<KvSipHeader> from(new KvSipFromHeader(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("<sip:a@h>")), KvHandle<KvParameters>()));
    message.addHeader(from);
    message.addHeader(via("h"));
    message.addHeader(KvHandle<KvSipHeader>(new KvSipToHeader("<sip:b@h>")));
    EXPECT_EQ(message.getHeaderOrder(),
              (std::vector<KvSipHeaderId>{KV_HEADER_FROM, KV_HEADER_VIA, KV_HEADER_TO}));

    EXPECT_TRUE(message.removeHeader("From"));
    EXPECT_TRUE(message.getFromHeader().isNull());
    message.addHeader(KvHandle<KvSipHeader>(static_cast<KvSipHeader*>(from->clone())));
    EXPECT_EQ(message.getHeaderOrder(),
              (std::vector<KvSipHeaderId>{KV_HEADER_VIA, KV_HEADER_TO, KV_HEADER_FROM}));
}

TEST(KvSipMessageHeaders, NamesAreFoundAsWrittenAndIdsWhateverTheName) {
    KvHandle<KvSipMessage> message =
        kvParseMessage("INVITE sip:b@h SIP/2.0\r\nv: SIP/2.0/UDP h\r\nf: <sip:a@h>;tag=1\r\n"
                       "t: <sip:b@h>\r\ni: id@h\r\nCSeq: 1 INVITE\r\nl: 0\r\n\r\n");
    EXPECT_EQ(message->getParseState(), KV_VALID);
    EXPECT_TRUE(message->findHeader("From").isNull());
    EXPECT_FALSE(message->findHeader("f").isNull());
    EXPECT_FALSE(message->getFromHeader().isNull());
    EXPECT_EQ(message->findIdByName("F"), KV_HEADER_FROM);
    EXPECT_EQ(message->findIdByName("From"), KV_HEADER_UNKNOWN);
}

TEST(KvSipMessageHeaders, UnknownHeadersShareId55WithTheirOwnCaseRules) {
    KvSipResponse message;
    message.addHeader(unknown("X-A", "1"));
    message.addHeader(unknown("X-B", "2"));
    message.addHeader(unknown("X-C", "3"));
    EXPECT_EQ(message.getHeaderOrder(), std::vector<KvSipHeaderId>{KV_HEADER_UNKNOWN});
    EXPECT_EQ(kvSerialized(message.findHeader("X-B")), "2");
    // The search among unknown headers is case-sensitive; removal is not.
    EXPECT_TRUE(message.findHeader("x-b").isNull());
    EXPECT_TRUE(message.removeHeader("x-b"));
    EXPECT_EQ(kvHeaderLines(message), (std::vector<std::string>{"X-A: 1", "X-C: 3"}));
    EXPECT_FALSE(message.removeHeader("X-Absent"));
    EXPECT_TRUE(message.removeHeader("X-A"));
    EXPECT_TRUE(message.removeHeader("X-C"));
    EXPECT_TRUE(message.getHeaderOrder().empty());
    EXPECT_FALSE(message.removeHeader("X-C"));
}

TEST(KvSipMessageHeaders, ARemovedHeaderLeavesItsChainBehind) {
    KvSipResponse message;
    KvHandle<KvSipHeader> first = via("a");
    message.addHeader(first);
    message.addHeader(via("b"));
    EXPECT_TRUE(message.removeHeader("Via"));
    EXPECT_TRUE(first->getNext().isNull());
    EXPECT_EQ(kvSerialized(message.getHeader(KV_HEADER_VIA)), "SIP/2.0/UDP b:5060");
    // Free again, it can go into another message.
    KvSipResponse other;
    other.addHeader(first);
    EXPECT_EQ(kvHeaderLines(other).size(), 1u);
}

TEST(KvSipMessageHeaders, OptionTagsAreFoundByIdAndCompareExactly) {
    KvHandle<KvSipMessage> message =
        kvParseMessage(kInviteHead + "k: 100rel, timer\r\nRequire: precondition\r\n\r\n");
    EXPECT_TRUE(message->isOptionSupported("100rel"));
    EXPECT_TRUE(message->isOptionSupported("timer"));
    EXPECT_FALSE(message->isOptionSupported("TIMER"));
    EXPECT_FALSE(message->isOptionSupported("precondition"));
    EXPECT_TRUE(message->isOptionRequired("precondition"));
    EXPECT_FALSE(message->isOptionRequired("timer"));
    EXPECT_FALSE(message->isOptionRequired(nullptr));
}

TEST(KvSipMessageHeaders, ACopyWritesTheSameTextAndIsIndependent) {
    KvHandle<KvSipMessage> original = kvParseMessage(kInvite);
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(original->clone()));
    EXPECT_EQ(kvSerialized(copy), kvSerialized(original));
    EXPECT_EQ(copy->getParseState(), original->getParseState());
    EXPECT_NE(copy->getViaHeader().get(), original->getViaHeader().get());
    EXPECT_NE(copy->getBody(), original->getBody());

    copy->removeHeader("Max-Forwards");
    EXPECT_FALSE(original->findHeader("Max-Forwards").isNull());

    KvHandle<KvSipMessage> damaged = kvParseMessage(kInviteHead + "CSeq: x\r\n\r\n");
    ASSERT_EQ(damaged->getParseState(), KV_MALFORMED);
    KvHandle<KvSipMessage> damagedCopy(static_cast<KvSipMessage*>(damaged->clone()));
    EXPECT_FALSE(damagedCopy->isValid());
    EXPECT_EQ(damagedCopy->getParseState(), KV_MALFORMED);
}

TEST(KvSipMessageHeaders, OneMessageServesSeveralThreadsAtOnce) {
    KvHandle<KvSipMessage> message = kvParseMessage(kInvite);
    const KvString key = message->createTransactionKey();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([message, t, &key] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0) {
                    message->addHeader(unknown("X-Added", "v"));
                } else if (t == 1) {
                    KvStringOutputStream out;
                    message->serialize(out);
                    EXPECT_EQ(out.text.rfind("INVITE ", 0), 0u);
                } else if (t == 2) {
                    EXPECT_TRUE(message->createTransactionKey() == key);
                    EXPECT_FALSE(message->getViaHeader().isNull());
                } else {
                    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(message->clone()));
                    EXPECT_FALSE(copy->findHeader("Call-ID").isNull());
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    size_t added = 0;
    for (KvHandle<KvSipHeader> h = message->getHeader(KV_HEADER_UNKNOWN); !h.isNull();
         h = h->getNext())
        ++added;
    EXPECT_EQ(added, 200u);
}

// ---- body

TEST(KvSipMessageBody, SetBodyChecksItsArgumentsBeforeChangingAnything) {
    KvHandle<KvSipMessage> message = kvParseMessage(kInvite);
    const std::string before = kvSerialized(message);
    EXPECT_EQ(kvThrownText([&] { message->setBody(nullptr, "text/plain", 5); }),
              "Can't build SIP request with NULL body pointer");
    EXPECT_EQ(kvThrownText([&] { message->setBody("hello", nullptr, 5); }),
              "Can't build SIP request(with body) with no content-type");
    EXPECT_EQ(kvSerialized(message), before);

    KvSipResponse empty;
    EXPECT_NE(kvThrownText([&] { empty.setBody("x", nullptr, 1); }), "(nothing thrown)");
    EXPECT_TRUE(empty.getContentLengthHeader().isNull());
    EXPECT_TRUE(empty.getHeaderOrder().empty());
}

TEST(KvSipMessageBody, SetBodySetsLengthTypeAndBytes) {
    KvHandle<KvSipMessage> message = kvParseMessage(kInvite);
    message->setBody("hello world", "text/plain", 11);
    EXPECT_EQ(message->getContentLength(), 11u);
    EXPECT_EQ(message->getBodyLength(), 11u);
    EXPECT_TRUE(message->getContentType() == "text/plain");
    EXPECT_EQ(std::string(message->getBody(), 11), "hello world");

    // No body: length 0, the old block gone, and no type is made from a null text.
    KvSipResponse plain;
    plain.setBody(nullptr, nullptr, 0);
    EXPECT_EQ(plain.getContentLength(), 0u);
    EXPECT_TRUE(plain.getContentTypeHeader().isNull());
    message->setBody(nullptr, nullptr, 0);
    EXPECT_EQ(message->getBody(), nullptr);
    EXPECT_EQ(message->getContentLength(), 0u);

    KvSipResponse none;
    EXPECT_EQ(none.getContentLength(), 0u);
    EXPECT_TRUE(none.getContentType().isEmpty());
}

TEST(KvSipMessageBody, SetBodyReplacesTheWholeContentType) {
    KvHandle<KvSipMessage> message = kvParseMessage(
        kInviteHead +
        "Content-Type: multipart/mixed;boundary=abc\r\nContent-Length: 4\r\n\r\nv=0\n");
    KvHandle<KvSipContentTypeHeader> held = message->getContentTypeHeader();
    message->setBody("hello", "text/plain", 5);
    EXPECT_NE(kvSerialized(message).find("Content-Type: text/plain\r\n"), std::string::npos);
    message->setBody("<b/>!", "text/html;charset=utf-8", 5);
    EXPECT_STREQ(held->getSubtype(), "html");
    EXPECT_NE(kvSerialized(message).find("Content-Type: text/html;charset=utf-8\r\n"),
              std::string::npos);
    // A new header reads the text alike.
    KvSipResponse built;
    built.setBody("<b/>!", "text/html;charset=utf-8", 5);
    EXPECT_STREQ(built.getContentTypeHeader()->getSubtype(), "html");
    EXPECT_TRUE(built.getContentTypeHeader()->getParameters()->getParameter("charset") == "utf-8");
}

TEST(KvSipMessageBody, SetBodyRefusesATypeThatIsNotOneMediaTypeBeforeChangingAnything) {
    const char* refused[] = {"",         ";x=y",   "/",
                             "text/",    "/plain", "text/plain, text/html",
                             "text;a=b", "a@b/c",  "text/plain;a=b, text/html"};
    KvHandle<KvSipMessage> held = kvParseMessage(kInvite);
    const std::string before = kvSerialized(held);
    for (const char* type : refused) {
        EXPECT_EQ(kvThrownText([&] { held->setBody("hello", type, 5); }),
                  "Attempting to set KvSipContentTypeHeader with an invalid media type")
            << type;
        EXPECT_EQ(kvThrownText([&] { held->getContentTypeHeader()->setMediaType(type); }),
                  "Attempting to set KvSipContentTypeHeader with an invalid media type")
            << type;
        EXPECT_EQ(kvSerialized(held), before) << type;
        KvSipResponse none;
        EXPECT_NE(kvThrownText([&] { none.setBody("hello", type, 5); }), "(nothing thrown)");
        EXPECT_TRUE(none.getHeaderOrder().empty()) << type;
    }

    // What is kept reads back as it was set.
    const struct {
        const char* type;
        const char* written;
    } kept[] = {
        {"text/plain", "text/plain"},
        {"application", "application/*"},
        {"text / plain ; a = b", "text/plain;a=b"},
        {"multipart/mixed;boundary=\"a;b,c\"", "multipart/mixed;boundary=\"a;b,c\""},
        {"text/plain;x=\"q\\\"r\"", "text/plain;x=\"q\\\"r\""},
    };
    for (const auto& k : kept) {
        held->setBody("hello", k.type, 5);
        const std::string text = kvSerialized(held);
        const std::string line = std::string("Content-Type: ") + k.written + "\r\n";
        EXPECT_NE(text.find(line), std::string::npos) << k.type << "\n" << text;
        KvHandle<KvSipMessage> back = kvParseMessage(text);
        EXPECT_TRUE(back->getContentType() == held->getContentType()) << k.type;
        EXPECT_EQ(kvSerialized(back), text) << k.type;
    }
}

TEST(KvSipMessageBody, AContentLengthChangedAfterwardsNeverReadsPastTheBlock) {
    KvHandle<KvSipMessage> message = kvParseMessage(kInvite);
    message->getContentLengthHeader()->setLength(100000);
    const std::string text = kvSerialized(message);
    EXPECT_EQ(text.substr(text.size() - 4), "v=0\n");
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(message->clone()));
    EXPECT_EQ(copy->getBodyLength(), 4u);

    message->getContentLengthHeader()->setLength(2);
    EXPECT_EQ(kvSerialized(message).substr(kvSerialized(message).size() - 4), "\r\nv=");
}

// A header of another class that a caller linked behind Content-Length heads its slot once the
// Content-Length header is removed: the message is written as one without a length.
TEST(KvSipMessageBody, AnotherClassInTheContentLengthSlotCountsAsNoLength) {
    KvHandle<KvSipMessage> message = kvParseMessage(kInvite);
    message->getContentLengthHeader()->setNext(new KvSipUnknownHeader("X-After", "1"));
    ASSERT_TRUE(message->removeHeader("Content-Length"));
    const std::string text = kvSerialized(message);
    EXPECT_NE(text.find("\r\nX-After: 1\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    EXPECT_EQ(message->getContentLength(), 0u);
}

// ---- validate

TEST(KvSipMessageValidate, ChecksTheMandatoryHeaders) {
    const std::string tail = "Content-Length: 0\r\n\r\n";
    EXPECT_EQ(kvParseMessage(kInviteHead + tail)->getParseState(), KV_VALID);
    EXPECT_EQ(kvParseMessage(kInviteHead + "To: <sip:c@h>\r\n" + tail)->getParseState(),
              KV_INVALID);
    EXPECT_EQ(kvParseMessage(kInviteHead + "f: <sip:c@h>\r\n" + tail)->getParseState(), KV_INVALID);
    EXPECT_EQ(kvParseMessage(kInviteHead + "CSeq: 2 INVITE\r\n" + tail)->getParseState(),
              KV_INVALID);
    EXPECT_EQ(kvParseMessage(kInviteHead + "i: other@h\r\n" + tail)->getParseState(), KV_INVALID);
    EXPECT_EQ(kvParseMessage(kInviteHead + "l: 0\r\n" + tail)->getParseState(), KV_INVALID);

    std::string noVia = kInviteHead;
    noVia.erase(noVia.find("Via:"), noVia.find("Max-Forwards") - noVia.find("Via:"));
    EXPECT_EQ(kvParseMessage(noVia + tail)->getParseState(), KV_INVALID);

    std::string otherMethod = kInviteHead;
    otherMethod.replace(otherMethod.find("314159 INVITE"), 13, "314159 BYE");
    EXPECT_EQ(kvParseMessage(otherMethod + tail)->getParseState(), KV_INVALID);

    // Letter case is ignored here, but a request compares its CSeq method exactly.
    std::string lower = kInviteHead;
    lower.replace(lower.find("314159 INVITE"), 13, "314159 invite");
    KvHandle<KvSipMessage> message = kvParseMessage(lower + tail);
    EXPECT_EQ(message->getParseState(), KV_VALID);
    EXPECT_FALSE(message->isValid());
}

// ---- parse and write

TEST(KvSipMessageParse, RequestLineStates) {
    EXPECT_EQ(kvParseMessage(kInvite)->getParseState(), KV_VALID);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE sip:b@h SIP/3.0\r\n"))->getParseState(), 505);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE sip:b@h SIP/2.00\r\n"))->getParseState(),
              KV_INVALID);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE http://b/ SIP/2.0\r\n"))->getParseState(),
              416);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE sips:b@h SIP/2.0\r\n"))->getParseState(),
              KV_INVALID);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE SIP/2.0\r\n"))->getParseState(), KV_INVALID);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE   \r\n"))->getParseState(), KV_INVALID);
    EXPECT_EQ(kvParseMessage(withRequestLine("INVITE tel:+1234 SIP/2.0\r\n"))->getParseState(),
              KV_VALID);
}

TEST(KvSipMessageParse, AnOverLongRequestLineIs414AndTheHeadersAreStillRead) {
    const std::string line = "INVITE sip:" + std::string(1100, 'u') + "@h SIP/2.0\r\n";
    KvHandle<KvSipMessage> message = kvParseMessage(withRequestLine(line));
    EXPECT_EQ(message->getParseState(), 414);
    EXPECT_FALSE(message->getCallIdHeader().isNull());
    EXPECT_FALSE(message->getViaHeader().isNull());
    EXPECT_EQ(message->getBodyLength(), 4u);

    // A stream that ends inside the start line is an invalid message, not a long line.
    EXPECT_EQ(kvParseMessage("INVITE sip:b@h SIP/2.0")->getParseState(), KV_INVALID);
}

TEST(KvSipMessageParse, TheFirstTokenPicksTheClass) {
    const std::string token31(31, 'M');
    KvHandle<KvSipMessage> unknownMethod =
        kvParseMessage(withRequestLine(token31 + " sip:b@h SIP/2.0\r\n"));
    auto* request = dynamic_cast<KvSipUnknownRequest*>(unknownMethod.get());
    ASSERT_NE(request, nullptr);
    EXPECT_TRUE(request->getMethod() == token31.c_str());

    EXPECT_EQ(kvThrownText([&] { kvParseMessage(std::string(32, 'M') + " sip:b@h SIP/2.0\r\n"); }),
              "SIP Method Token Expected");
    EXPECT_EQ(kvThrownText([&] { kvParseMessage(" \r\n\t "); }), "SIP Method Token Expected");
    EXPECT_EQ(kvThrownText([&] { kvParseMessage(""); }), "SIP Method Token Expected");

    KvHandle<KvSipMessage> lower = kvParseMessage(withRequestLine("invite sip:b@h SIP/2.0\r\n"));
    EXPECT_NE(dynamic_cast<KvSipUnknownRequest*>(lower.get()), nullptr);
    EXPECT_NE(dynamic_cast<KvSipResponse*>(kvParseMessage("SIP/2.0 200 OK\r\n\r\n").get()),
              nullptr);
}

TEST(KvSipMessageParse, ABadHeaderLineCostsOnlyThatLineAndIsLogged) {
    KvCapturedLog log;
    KvHandle<KvSipMessage> message =
        kvParseMessage(kInviteHead + std::string(60, 'x') + "\r\nX-After: still read\r\n" +
                       "Content-Length: 0\r\n\r\n");
    EXPECT_EQ(message->getParseState(), KV_MALFORMED);
    EXPECT_EQ(kvSerialized(message->findHeader("X-After")), "still read");
    EXPECT_EQ(message->getContentLength(), 0u);
    EXPECT_NE(log.text().find("Caught KvException from KvSipHeader::sConstructFrom(): "
                              "Header token expected\n"),
              std::string::npos);

    // A parse error of a class's own value is caught and logged the same way.
    KvHandle<KvSipMessage> badValue = kvParseMessage(kInviteHead + "CSeq: 1\r\n\r\n");
    EXPECT_EQ(badValue->getParseState(), KV_MALFORMED);
    EXPECT_NE(log.text().find("Caught KvException from KvSipHeader::sConstructFrom(): "
                              "Invalid CSeq header\n"),
              std::string::npos);

    // A line of blanks (no header before it to continue) is refused alone.
    KvHandle<KvSipMessage> blanks =
        kvParseMessage(withRequestLine("INVITE sip:bob@biloxi.example.com SIP/2.0\r\n  \r\n"));
    EXPECT_FALSE(blanks->getViaHeader().isNull());
    EXPECT_EQ(blanks->getParseState(), KV_MALFORMED);
    EXPECT_EQ(std::string(blanks->getBody(), blanks->getBodyLength()), "v=0\n");
}

TEST(KvSipMessageParse, ALogThatCannotBeWrittenChangesNothingParsed) {
    KvUnwritableLog full;
    auto stateOf = [](const std::string& text) {
        int32_t state = -1;
        EXPECT_EQ(kvThrownText([&] { state = kvParseMessage(text)->getParseState(); }),
                  "(nothing thrown)");
        return state;
    };
    const std::string longName = "Long-Long-Long-Long-Long-Long-Long-Long-Long-Long-Name: x\r\n";
    EXPECT_EQ(stateOf(kInviteHead + longName + "\r\n"), KV_MALFORMED);
    EXPECT_EQ(stateOf(withRequestLine("INVITE sip:b@h SIP/3.0\r\n")), 505);
    EXPECT_EQ(stateOf(kInviteHead + "Content-Length: 10\r\n\r\nabcd"), KV_MALFORMED);
    EXPECT_EQ(kvThrownText([&] { kvParseMessage(""); }), "SIP Method Token Expected");
}

TEST(KvSipMessageParse, ANulInAHeaderLineDamagesIt) {
    KvCapturedLog log;
    for (std::string line :
         {std::string("Max-F\0orwards: 70\r\n", 19), std::string("Subject: a\0b\r\n", 15),
          std::string("Contact: <sip:user\0example.com>\r\n", 34)}) {
        KvHandle<KvSipMessage> message = kvParseMessage(kInviteHead + line + "\r\n");
        EXPECT_EQ(message->getParseState(), KV_MALFORMED) << line;
        EXPECT_EQ(message->getHeaderOrder().size(), 8u) << line;
    }
    EXPECT_NE(log.text().find("NUL in header line"), std::string::npos);
}

TEST(KvSipMessageParse, TheBodyIsContentLengthBytes) {
    KvCapturedLog log;
    KvHandle<KvSipMessage> shortBody =
        kvParseMessage(kInviteHead + "Content-Length: 10\r\n\r\nabcd");
    EXPECT_EQ(shortBody->getParseState(), KV_MALFORMED);
    EXPECT_EQ(shortBody->getBody(), nullptr);
    EXPECT_NE(log.text().find("KvException Occurred while parsing body of message: "
                              "message body is shorter than Content-Length"),
              std::string::npos);

    // A huge announced length with a few bytes behind it allocates nothing of that size.
    KvHandle<KvSipMessage> huge =
        kvParseMessage(kInviteHead + "Content-Length: 4000000000\r\n\r\nabcd");
    EXPECT_EQ(huge->getParseState(), KV_MALFORMED);
    EXPECT_EQ(huge->getBody(), nullptr);
    EXPECT_EQ(huge->getBodyLength(), 0u);
    // ... and writes no partial body.
    EXPECT_EQ(kvSerialized(huge).substr(kvSerialized(huge).size() - 4), "\r\n\r\n");

    auto stream = kvStreamOf(kInviteHead + "Content-Length: 10\r\n\r\n0123456789extra");
    KvHandle<KvSipMessage> longer = KvSipMessage::sConstructFrom(*stream);
    EXPECT_EQ(longer->getParseState(), KV_VALID);
    EXPECT_EQ(std::string(longer->getBody(), longer->getBodyLength()), "0123456789");
    EXPECT_EQ(stream->read(), 'e');

    KvHandle<KvSipMessage> zero = kvParseMessage(kInviteHead + "Content-Length: 0\r\n\r\nignored");
    EXPECT_EQ(zero->getBody(), nullptr);
}

TEST(KvSipMessageParse, WithoutContentLengthTheBodyIsTheRestOfTheStream) {
    const std::string rest(10000, 'b');
    KvHandle<KvSipMessage> message = kvParseMessage(kInviteHead + "\r\n" + rest);
    EXPECT_EQ(message->getParseState(), KV_VALID);
    EXPECT_EQ(message->getContentLength(), 10000u);
    EXPECT_EQ(std::string(message->getBody(), message->getBodyLength()), rest);

    KvHandle<KvSipMessage> empty = kvParseMessage(kInviteHead + "\r\n");
    EXPECT_EQ(empty->getContentLength(), 0u);
    EXPECT_EQ(empty->getBody(), nullptr);
    EXPECT_EQ(kvHeaderLines(*empty).back(), "Content-Length: 0");
}

TEST(KvSipMessageParse, StatusLines) {
    const std::string headers = "Via: SIP/2.0/UDP h;branch=z9hG4bK1\r\nFrom: <sip:a@h>;tag=1\r\n"
                                "To: <sip:b@h>\r\nCall-ID: c@h\r\nCSeq: 1 INVITE\r\n"
                                "Content-Length: 0\r\n\r\n";
    auto response = [&](const std::string& line) {
        return KvHandle<KvSipResponse>(kvParseMessage(line + headers));
    };
    KvHandle<KvSipResponse> ringing = response("SIP/2.0 180 Ringing\r\n");
    EXPECT_EQ(ringing->getParseState(), KV_VALID);
    EXPECT_EQ(ringing->getStatusCode(), 180);
    EXPECT_TRUE(ringing->getReasonPhrase() == "Ringing");

    // An empty phrase is legal and leaves the first header where it is.
    KvHandle<KvSipResponse> noReason = response("SIP/2.0 200\r\n");
    EXPECT_EQ(noReason->getParseState(), KV_VALID);
    EXPECT_TRUE(noReason->getReasonPhrase().isEmpty());
    EXPECT_FALSE(noReason->getViaHeader().isNull());

    const std::string longPhrase(300, 'r');
    KvHandle<KvSipResponse> longReason = response("SIP/2.0 486 " + longPhrase + "\r\n");
    EXPECT_EQ(longReason->getParseState(), KV_VALID);
    EXPECT_TRUE(longReason->getReasonPhrase() == longPhrase.c_str());

    // A code outside 100..699 is read as it stands; one too large for the field never passes,
    // however many digits it has.
    for (int32_t code : {99, 700, 999, 0, 1000, INT32_MAX}) {
        KvHandle<KvSipResponse> odd = response("SIP/2.0 " + std::to_string(code) + " Odd\r\n");
        EXPECT_EQ(odd->getParseState(), KV_VALID) << code;
        EXPECT_EQ(odd->getStatusCode(), code);
        EXPECT_EQ(kvSerialized(odd).rfind("SIP/2.0 " + std::to_string(code) + " Odd\r\n", 0), 0u);
    }
    EXPECT_EQ(response("SIP/2.0 099 Low\r\n")->getStatusCode(), 99);
    EXPECT_EQ(response("SIP/2.0 4294967301 Wrapped\r\n")->getParseState(), KV_INVALID);
    EXPECT_EQ(response("SIP/2.0 2147483648 Negative\r\n")->getParseState(), KV_INVALID);
    EXPECT_EQ(response("SIP/2.0 200 OK\r\n")->getStatusCode(), 200);
    EXPECT_FALSE(response("SIP/2.0 4294967301 Wrapped\r\n")->getViaHeader().isNull());
    EXPECT_EQ(response("SIP/2,0 200 OK\r\n")->getParseState(), KV_INVALID);

    KvHandle<KvSipResponse> version = response("SIP/3.1 200 OK\r\n");
    EXPECT_EQ(version->getMajorVersion(), 3);
    EXPECT_EQ(version->getMinorVersion(), 1);
}

TEST(KvSipMessageParse, RoundTripKeepsHeadersInOrderAndCompactNames) {
    const std::string text = "INVITE sip:b@h SIP/2.0\r\n"
                             "v: SIP/2.0/UDP h;branch=z9hG4bK1\r\n"
                             "f: <sip:a@h>;tag=1\r\n"
                             "t: <sip:b@h>\r\n"
                             "i: c@h\r\n"
                             "CSeq: 1 INVITE\r\n"
                             "Via: SIP/2.0/TCP second\r\n"
                             "X-Custom: a, b\r\n"
                             "m: <sip:a@h>\r\n"
                             "c: application/sdp\r\n"
                             "l: 4\r\n"
                             "\r\n"
                             "v=0\n";
    KvHandle<KvSipMessage> first = kvParseMessage(text);
    ASSERT_EQ(first->getParseState(), KV_VALID);
    const std::string once = kvSerialized(first);
    // The second Via joins the chain of the first.
    EXPECT_NE(once.find("v: SIP/2.0/UDP h;branch=z9hG4bK1\r\nVia: SIP/2.0/TCP second\r\n"),
              std::string::npos);
    KvHandle<KvSipMessage> second = kvParseMessage(once);
    EXPECT_EQ(kvHeaderLines(*second), kvHeaderLines(*first));
    EXPECT_EQ(kvSerialized(second), once);
}

TEST(KvSipMessageParse, AStreamThatHandsOutOneByteAtATimeReadsTheSame) {
    const std::string folded = "X-Folded: a\r\n b\r\nBare words\r\n";
    for (const std::string& text : {kInvite, kInviteHead + folded + "Content-Length: 0\r\n\r\n",
                                    std::string("SIP/2.0 486 Busy Here\r\n") +
                                        kInviteHead.substr(kInviteHead.find("\r\n") + 2) +
                                        "X-Note: one, two\r\nContent-Length: 0\r\n\r\n"}) {
        KvTrickleStream trickle(text);
        KvHandle<KvSipMessage> slow = KvSipMessage::sConstructFrom(trickle);
        KvHandle<KvSipMessage> fast = kvParseMessage(text);
        EXPECT_EQ(slow->getParseState(), fast->getParseState());
        EXPECT_EQ(kvSerialized(slow), kvSerialized(fast));
    }
    KvTrickleStream busy("SIP/2.0 486 Busy Here\r\n\r\n");
    EXPECT_TRUE(KvHandle<KvSipResponse>(KvSipMessage::sConstructFrom(busy))->getReasonPhrase() ==
                "Busy Here");
}

TEST(KvSipMessageParse, AMessageBuiltByConstructorsUsesLongNames) {
    KvHandle<KvSipMessage> parsed = kvParseMessage(
        "BYE sip:b@h SIP/2.0\r\nv: SIP/2.0/UDP h;branch=z9hG4bK1\r\nf: <sip:a@h>;tag=1\r\n"
        "t: <sip:b@h>;tag=2\r\ni: c@h\r\nCSeq: 7 BYE\r\nl: 0\r\n\r\n");
    KvSipResponse response(200, KvHandle<KvSipRequest>(parsed));
    // Copies keep the name they were parsed with; new headers carry the long token.
    const std::string text = kvSerialized(response);
    EXPECT_NE(text.find("\r\nv: SIP/2.0/UDP h;branch=z9hG4bK1\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nContent-Length: 0\r\n"), std::string::npos);
}

TEST(KvSipMessageParse, WritingARequestWithoutMethodOrURIFails) {
    KvSipUnknownRequest empty;
    EXPECT_EQ(kvThrownText([&] { kvSerialized(empty); }), "Invalid start-line for SIP request");
}

// Whichever write of the target fails, it holds the start of the text, not bytes from the middle:
// a short message, one just past what is gathered on the stack, one past 64 KiB.
TEST(KvSipMessageWrite, AFailedWriteLeavesAPrefixAndTheWriteDoneAgainIsWhole) {
    for (int fillers : {1, 40, 1200}) {
        SCOPED_TRACE(std::to_string(fillers) + " filler headers");
        std::string text = kInviteHead;
        for (int i = 0; i < fillers; ++i)
            text += "X-Filler: " + std::string(48, static_cast<char>('a' + i % 26)) + "\r\n";
        text += "Content-Length: 4\r\n\r\nv=0\n";
        KvHandle<KvSipMessage> message = kvParseMessage(text);
        const std::string whole = kvSerialized(message);
        ASSERT_EQ(text, whole);
        kvExpectAPrefixWhicheverWriteFails(whole,
                                           [&](KvOutputStream& out) { message->serialize(out); });
        KvHandle<KvSipHeader> fillerChain = message->getHeader("X-Filler");
        const std::string chain = kvChainText(fillerChain);
        kvExpectAPrefixWhicheverWriteFails(
            chain, [&](KvOutputStream& out) { fillerChain->serializeChain(out); });
    }
}

// ---- transaction key

TEST(KvSipMessageKey, ARequestAndItsResponseShareAKey) {
    KvHandle<KvSipMessage> request = kvParseMessage(kInvite);
    KvHandle<KvSipResponse> response(new KvSipResponse(200, KvHandle<KvSipRequest>(request)));
    KvHandle<KvSipToHeader>(response->getToHeader())->setTag("a6c85cf");
    EXPECT_TRUE(request->createTransactionKey() == response->createTransactionKey());
    EXPECT_TRUE(request->createTransactionKey() == "bobbiloxi.example.com5060alice"
                                                   "atlanta.example.com50601928301774"
                                                   "pc33.atlanta.example.com5060z9hG4bK776asdhds"
                                                   "a84b4c76e66710@pc33.atlanta.example.com314159");
}

TEST(KvSipMessageKey, PortsMethodsAndUriKinds) {
    std::string explicitPort = kInvite;
    explicitPort.replace(explicitPort.find("To: Bob <sip:bob@biloxi.example.com>"), 36,
                         "To: Bob <sip:bob@biloxi.example.com:5060>");
    EXPECT_TRUE(kvParseMessage(explicitPort)->createTransactionKey() ==
                kvParseMessage(kInvite)->createTransactionKey());

    std::string cancel = kInvite;
    cancel.replace(0, 6, "CANCEL");
    cancel.replace(cancel.find("314159 INVITE"), 13, "314159 CANCEL");
    EXPECT_TRUE(kvParseMessage(cancel)->createTransactionKey() ==
                kvParseMessage(kInvite)->createTransactionKey());

    std::string tel = kInvite;
    tel.replace(tel.find("To: Bob <sip:bob@biloxi.example.com>"), 36, "To: <tel:+15551234>");
    KvString telKey = kvParseMessage(tel)->createTransactionKey();
    EXPECT_EQ(std::string(telKey.c_str()).rfind("+15551234alice", 0), 0u);

    std::string noVia = kInvite;
    noVia.erase(noVia.find("Via:"), noVia.find("Max-Forwards") - noVia.find("Via:"));
    KvHandle<KvSipMessage> unrouted = kvParseMessage(noVia);
    ASSERT_EQ(unrouted->getParseState(), KV_INVALID);
}

TEST(KvSipMessageKey, AMessageWithoutViaIsKeyedWithoutTheViaPart) {
    KvHandle<KvSipFromHeader> from(new KvSipFromHeader(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("<sip:alice@atlanta.example.com>")),
        KvHandle<KvParameters>()));
    from->setTag("1928301774");
    KvSipRequest request(KvString("INVITE"), from,
                         KvHandle<KvSipToHeader>(new KvSipToHeader("<sip:bob@biloxi.example.com>")),
                         KvHandle<KvSipContactHeader>(), "c@h", 5, nullptr, nullptr, 0);
    ASSERT_EQ(request.getParseState(), KV_VALID);
    EXPECT_TRUE(request.createTransactionKey() ==
                "bobbiloxi.example.com5060aliceatlanta.example.com50601928301774c@h5");
    KvHandle<KvSipViaHeader> top(new KvSipViaHeader("pc33.example.com", 5070, "UDP"));
    top->setBranch("z9hG4bK1");
    request.addHeader(top);
    EXPECT_TRUE(request.createTransactionKey() ==
                "bobbiloxi.example.com5060aliceatlanta.example.com50601928301774"
                "pc33.example.com5070z9hG4bK1c@h5");
}

TEST(KvSipMessageKey, DamagedMessagesAreRefusedNotDereferenced) {
    const std::string error = "Unable to create transaction key for INVALID SIP Message";
    KvHandle<KvSipMessage> invalid = kvParseMessage(withRequestLine("INVITE sip:b@h SIP/2.00\r\n"));
    EXPECT_EQ(kvThrownText([&] { invalid->createTransactionKey(); }), error);

    // Malformed (state 1) and lacking a To: refused the same way.
    std::string noTo = kInviteHead + "Content-Length: 10\r\n\r\nabc";
    noTo.erase(noTo.find("To:"), noTo.find("From:") - noTo.find("To:"));
    KvHandle<KvSipMessage> malformed = kvParseMessage(noTo);
    ASSERT_EQ(malformed->getParseState(), KV_MALFORMED);
    EXPECT_EQ(kvThrownText([&] { malformed->createTransactionKey(); }), error);

    KvHandle<KvSipMessage> longLine =
        kvParseMessage("INVITE sip:" + std::string(1100, 'u') + "\r\n\r\n");
    ASSERT_EQ(longLine->getParseState(), 414);
    EXPECT_EQ(kvThrownText([&] { longLine->createTransactionKey(); }), error);

    KvSipResponse empty;
    EXPECT_EQ(kvThrownText([&] { empty.createTransactionKey(); }), error);
}
