// The header factory: registry, name peek, line reader, unfolding and the comma rule. This file
// names no header class, so every registration it sees comes from linking the factory alone.
#include "KvException.h"
#include "KvInputStream.h"
#include "KvSipHeader.h"
#include "KvSipParseError.h"
#include "KvSipUnknownHeader.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string parseErrorOf(const std::string& text) {
    try {
        kvParseHeader(text);
    } catch (KvHandle<KvException>& e) {
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
        return e->getText();
    }
    return "(no error)";
}

// A list-valued class of the test's own: one word per element, so the comma rule shows alone.
class KvTestListHeader : public KvSipHeader {
public:
    KvTestListHeader() : KvSipHeader(sToken()) { setId(KV_HEADER_NONE); }
    KvTestListHeader(const KvTestListHeader& other) : KvSipHeader(other), m_word(other.m_word) {}
    KvObject* clone() const override { return new KvTestListHeader(*this); }
    const KvString& getToken() const override { return sToken(); }
    const KvString& getCompactToken() const override {
        static const KvString compact("y");
        return compact;
    }
    void doParse(KvInputStream& stream) override {
        m_word.clear();
        for (;;) {
            stream.mark(1);
            int c = stream.read();
            if (c < 0 || c == ',' || c == '\r' || c == '\n') {
                stream.reset();
                break;
            }
            if (c != ' ')
                m_word.push_back(static_cast<char>(c));
        }
        if (m_word.empty())
            KvSipParseError::raise("empty list element");
    }
    void serialize(KvOutputStream& stream) const override { stream << m_word.c_str(); }

    static KvSipHeader* sCreate() { return new KvTestListHeader(); }
    static KvSipHeader* sCreateOther() { return new KvSipUnknownHeader("other", "other"); }
    static const KvString& sToken() {
        static const KvString token("X-Test-List");
        return token;
    }

    std::string m_word;
};

const KvSipHeaderRegistrar kvTestListRegistrar("X-Test-List", "y", &KvTestListHeader::sCreate);
// A second registration of a name keeps the first.
const KvSipHeaderRegistrar kvTestListAgain("x-test-list", nullptr, &KvTestListHeader::sCreateOther);

} // namespace

TEST(KvSipHeaderRegistry, EveryClassIsRegisteredUnderItsLongAndCompactNames) {
    struct Entry {
        const char* name;
        KvSipHeaderId id;
        const char* token;
    };
    const Entry entries[] = {
        {"Via", KV_HEADER_VIA, "Via"},
        {"v", KV_HEADER_VIA, "Via"},
        {"From", KV_HEADER_FROM, "From"},
        {"f", KV_HEADER_FROM, "From"},
        {"To", KV_HEADER_TO, "To"},
        {"t", KV_HEADER_TO, "To"},
        {"CSeq", KV_HEADER_CSEQ, "CSeq"},
        {"Call-ID", KV_HEADER_CALL_ID, "Call-ID"},
        {"i", KV_HEADER_CALL_ID, "Call-ID"},
        {"Content-Length", KV_HEADER_CONTENT_LENGTH, "Content-Length"},
        {"l", KV_HEADER_CONTENT_LENGTH, "Content-Length"},
        {"Accept", KV_HEADER_ACCEPT, "Accept"},
        {"Accept-Language", KV_HEADER_ACCEPT_LANGUAGE, "Accept-Language"},
        {"Allow", KV_HEADER_ALLOW, "Allow"},
        {"Authorization", KV_HEADER_AUTHORIZATION, "Authorization"},
        {"Contact", KV_HEADER_CONTACT, "Contact"},
        {"m", KV_HEADER_CONTACT, "Contact"},
        {"Content-Encoding", KV_HEADER_CONTENT_ENCODING, "Content-Encoding"},
        {"e", KV_HEADER_CONTENT_ENCODING, "Content-Encoding"},
        {"Content-Type", KV_HEADER_CONTENT_TYPE, "Content-Type"},
        {"c", KV_HEADER_CONTENT_TYPE, "Content-Type"},
        {"Expires", KV_HEADER_EXPIRES, "Expires"},
        {"Max-Forwards", KV_HEADER_MAX_FORWARDS, "Max-Forwards"},
        {"Min-SE", KV_HEADER_MIN_SE, "Min-SE"},
        {"Proxy-Authenticate", KV_HEADER_PROXY_AUTHENTICATE, "Proxy-Authenticate"},
        {"Proxy-Authorization", KV_HEADER_PROXY_AUTHORIZATION, "Proxy-Authorization"},
        {"RAck", KV_HEADER_RACK, "RAck"},
        {"RSeq", KV_HEADER_RSEQ, "RSeq"},
        {"Record-Route", KV_HEADER_RECORD_ROUTE, "Record-Route"},
        {"Replaces", KV_HEADER_REPLACES, "Replaces"},
        {"Require", KV_HEADER_REQUIRE, "Require"},
        {"Retry-After", KV_HEADER_RETRY_AFTER, "Retry-After"},
        {"Route", KV_HEADER_ROUTE, "Route"},
        {"Session-Expires", KV_HEADER_SESSION_EXPIRES, "Session-Expires"},
        {"x", KV_HEADER_SESSION_EXPIRES, "Session-Expires"},
        {"Subject", KV_HEADER_SUBJECT, "Subject"},
        {"s", KV_HEADER_SUBJECT, "Subject"},
        {"Supported", KV_HEADER_SUPPORTED, "Supported"},
        {"k", KV_HEADER_SUPPORTED, "Supported"},
        {"User-Agent", KV_HEADER_USER_AGENT, "User-Agent"},
        {"WWW-Authenticate", KV_HEADER_WWW_AUTHENTICATE, "WWW-Authenticate"},
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.name);
        KvHandle<KvSipHeader> header = KvSipHeader::createHeader(entry.name);
        ASSERT_FALSE(header.isNull());
        EXPECT_EQ(header->getId(), entry.id);
        EXPECT_TRUE(header->getToken() == entry.token);
        // A built header carries the long token as its name.
        EXPECT_TRUE(header->getName() == entry.token);
        EXPECT_TRUE(header->getNext().isNull());
    }
}

TEST(KvSipHeaderRegistry, NamesCompareIgnoringCaseAndUnknownNamesShareId55) {
    EXPECT_EQ(KvSipHeader::createHeader("VIA")->getId(), KV_HEADER_VIA);
    EXPECT_EQ(KvSipHeader::createHeader("call-id")->getId(), KV_HEADER_CALL_ID);
    EXPECT_EQ(KvSipHeader::createHeader("I")->getId(), KV_HEADER_CALL_ID);

    KvHandle<KvSipHeader> unknown = KvSipHeader::createHeader("X-Whatever");
    EXPECT_EQ(unknown->getId(), KV_HEADER_UNKNOWN);
    EXPECT_NE(dynamic_cast<KvSipUnknownHeader*>(unknown.get()), nullptr);
    EXPECT_TRUE(unknown->getToken() == "X-Whatever");
    EXPECT_TRUE(unknown->getName() == "X-Whatever");

    // The test's own class came in through its registrar; the second registration lost.
    KvHandle<KvSipHeader> mine = KvSipHeader::createHeader("X-TEST-LIST");
    EXPECT_NE(dynamic_cast<KvTestListHeader*>(mine.get()), nullptr);
    EXPECT_NE(dynamic_cast<KvTestListHeader*>(KvSipHeader::createHeader("Y").get()), nullptr);
}

TEST(KvSipHeaderFactory, KeepsTheNameAsWrittenAndWritesItBack) {
    KvHandle<KvSipHeader> compact =
        kvParseHeader("v: SIP/2.0/UDP host.example.com;branch=z9hG4bK1\r\n");
    EXPECT_EQ(compact->getId(), KV_HEADER_VIA);
    EXPECT_TRUE(compact->getName() == "v");
    EXPECT_EQ(kvChainText(compact), "v: SIP/2.0/UDP host.example.com;branch=z9hG4bK1\r\n");

    KvHandle<KvSipHeader> capitals = kvParseHeader("VIA: SIP/2.0/UDP h\r\n");
    EXPECT_EQ(capitals->getId(), KV_HEADER_VIA);
    EXPECT_TRUE(capitals->getName() == "VIA");

    // Blanks around the name and before the colon are not part of it.
    KvHandle<KvSipHeader> spaced = kvParseHeader("  Call-ID   :  abc@host\r\n");
    EXPECT_TRUE(spaced->getName() == "Call-ID");
    EXPECT_EQ(kvSerialized(spaced), "abc@host");

    KvHandle<KvSipHeader> unknown = kvParseHeader("X-Custom: some, value\r\n");
    EXPECT_EQ(kvChainText(unknown), "X-Custom: some, value\r\n");
}

TEST(KvSipHeaderFactory, BoundsTheNameAt47Characters) {
    const std::string name47(47, 'N');
    KvHandle<KvSipHeader> fits = kvParseHeader(name47 + ": v\r\n");
    EXPECT_TRUE(fits->getName() == name47.c_str());

    auto stream = kvStreamOf(std::string(48, 'N') + ": v\r\nX-Next: n\r\n");
    try {
        KvSipHeader::sConstructFrom(*stream);
        FAIL() << "a 48-character name was accepted";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "Header token expected");
    }
    // The whole bad line is gone; the next one reads normally.
    KvHandle<KvSipHeader> next = KvSipHeader::sConstructFrom(*stream);
    EXPECT_TRUE(next->getName() == "X-Next");
}

TEST(KvSipHeaderFactory, RefusesLinesWithoutAUsableName) {
    EXPECT_EQ(parseErrorOf(": value\r\n"), "Header token expected");
    EXPECT_EQ(parseErrorOf("   "), "Header token expected");
    EXPECT_EQ(parseErrorOf("NoColonAndNoLineEnd"), "Header token expected");

    // A line of blanks is refused alone: the line behind it is not taken for its value.
    auto stream = kvStreamOf("   \r\nX-Next: n\r\n");
    EXPECT_THROW(KvSipHeader::sConstructFrom(*stream), KvHandle<KvException>);
    EXPECT_EQ(kvRestOf(*stream), "X-Next: n\r\n");
}

TEST(KvSipHeaderFactory, ANameNeverReachesAcrossALineEnd) {
    auto stream = kvStreamOf("Bare words\r\nSubject: hello\r\n");
    KvHandle<KvSipHeader> bare = KvSipHeader::sConstructFrom(*stream);
    EXPECT_EQ(bare->getId(), KV_HEADER_UNKNOWN);
    EXPECT_TRUE(bare->getName() == "Bare words");
    EXPECT_TRUE(bare->getToken() == "Bare words");
    EXPECT_EQ(kvSerialized(bare), "");
    KvHandle<KvSipHeader> subject = KvSipHeader::sConstructFrom(*stream);
    EXPECT_EQ(subject->getId(), KV_HEADER_SUBJECT);
    EXPECT_EQ(kvSerialized(subject), "hello");

    // The name bound still counts from the line's first byte to the later colon: "Bare words",
    // CR LF and a name of 35 make 47; a name of 36 makes 48, and the bare line is refused alone.
    const std::string name35 = "X-" + std::string(33, 'n');
    auto fits = kvStreamOf("Bare words\r\n" + name35 + ": v\r\n");
    EXPECT_TRUE(KvSipHeader::sConstructFrom(*fits)->getName() == "Bare words");
    EXPECT_TRUE(KvSipHeader::sConstructFrom(*fits)->getName() == name35.c_str());
    auto over = kvStreamOf("Bare words\r\n" + name35 + "n: v\r\n");
    EXPECT_THROW(KvSipHeader::sConstructFrom(*over), KvHandle<KvException>);
    EXPECT_EQ(kvRestOf(*over), name35 + "n: v\r\n");
    // With no colon anywhere behind it, the line has no name.
    EXPECT_EQ(parseErrorOf("Bare words\r\n\r\nbody"), "Header token expected");
}

TEST(KvSipHeaderFactory, BlanksBeforeTheColonCountTowardsTheNameBound) {
    const std::string name45(45, 'N');
    KvHandle<KvSipHeader> fits = kvParseHeader(name45 + "  : v\r\n");
    EXPECT_TRUE(fits->getName() == name45.c_str());
    EXPECT_EQ(parseErrorOf(name45 + "   : v\r\n"), "Header token expected");
}

TEST(KvSipHeaderFactory, UnfoldsContinuationLinesKeepingOneBlank) {
    EXPECT_EQ(kvSerialized(kvParseHeader("X-Fold: a\r\n b\r\n")), "a b");
    EXPECT_EQ(kvSerialized(kvParseHeader("X-Fold: a\r\n\tb\r\n")), "a b");
    EXPECT_EQ(kvSerialized(kvParseHeader("X-Fold: a\r\n  b\r\n")), "a  b");
    EXPECT_EQ(kvSerialized(kvParseHeader("X-Fold: a\n b\n")), "a b");

    // A class's own value reads the same unfolded text.
    EXPECT_EQ(kvSerialized(kvParseHeader("Subject: a\r\n b\r\n")), "a b");

    // A line that does not start with a blank is the next header, left in the stream.
    auto stream = kvStreamOf("X-Fold: a\r\nX-Next: b\r\n");
    EXPECT_EQ(kvSerialized(KvSipHeader::sConstructFrom(*stream)), "a");
    EXPECT_EQ(kvRestOf(*stream), "X-Next: b\r\n");
}

TEST(KvSipHeaderFactory, RefusesALineLongerThanItsBufferAndReadsOnAfterIt) {
    // Name, colon, blank and CR LF of "X-Long: " plus the value: 1,024 bytes fit exactly.
    const std::string fits = "X-Long: " + std::string(1024 - 8 - 2, 'a');
    EXPECT_EQ(kvSerialized(kvParseHeader(fits + "\r\n")).size(), 1024u - 10u);

    const std::string tooLong = fits + "b";
    auto stream = kvStreamOf(tooLong + "\r\n more folded\r\nX-Next: n\r\n");
    try {
        KvSipHeader::sConstructFrom(*stream);
        FAIL() << "an over-long line was accepted";
    } catch (KvHandle<KvException>& e) {
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
    }
    EXPECT_EQ(kvRestOf(*stream), "X-Next: n\r\n");
}

TEST(KvSipHeaderFactory, CommaListsBecomeSiblingChains) {
    KvHandle<KvSipHeader> list = kvParseHeader("y: one, two ,three\r\n");
    ASSERT_EQ(kvChainLength(list), 3u);
    EXPECT_TRUE(list->getName() == "y");
    // Siblings carry the long token, whatever the first was called.
    EXPECT_TRUE(list->getNext()->getName() == "X-Test-List");
    EXPECT_EQ(kvSerialized(list->getNext()->getNext()), "three");
    EXPECT_EQ(kvChainText(list), "y: one\r\nX-Test-List: two\r\nX-Test-List: three\r\n");

    // A clone is never linked into a chain.
    KvHandle<KvSipHeader> copy(static_cast<KvSipHeader*>(list->clone()));
    EXPECT_TRUE(copy->getNext().isNull());
    EXPECT_TRUE(copy->getName() == "y");

    // The value of an unknown header keeps its commas: no siblings.
    KvHandle<KvSipHeader> unknown = kvParseHeader("X-Other: a, b, c\r\n");
    EXPECT_EQ(kvChainLength(unknown), 1u);
    EXPECT_EQ(kvSerialized(unknown), "a, b, c");

    // A bad element fails the whole line.
    EXPECT_EQ(parseErrorOf("y: one, ,three\r\n"), "empty list element");

    // A real list class: two Route addresses, the second named by the long token.
    KvHandle<KvSipHeader> routes =
        kvParseHeader("ROUTE: <sip:a.example.com;lr>, <sip:b.example.com>\r\n");
    ASSERT_EQ(kvChainLength(routes), 2u);
    EXPECT_EQ(routes->getId(), KV_HEADER_ROUTE);
    EXPECT_EQ(routes->getNext()->getId(), KV_HEADER_ROUTE);
    EXPECT_TRUE(routes->getName() == "ROUTE");
    EXPECT_TRUE(routes->getNext()->getName() == "Route");
    EXPECT_EQ(kvSerialized(routes->getNext()), "<sip:b.example.com>");
}

TEST(KvSipHeaderFactory, AppendToChainLinksBehindTheLast) {
    KvHandle<KvSipHeader> first(new KvSipUnknownHeader("X-A", "1"));
    first->appendToChain(KvHandle<KvSipHeader>(new KvSipUnknownHeader("X-A", "2")));
    first->appendToChain(KvHandle<KvSipHeader>(new KvSipUnknownHeader("X-A", "3")));
    first->appendToChain(KvHandle<KvSipHeader>());
    EXPECT_EQ(kvChainText(first), "X-A: 1\r\nX-A: 2\r\nX-A: 3\r\n");
}

TEST(KvSipHeaderFactory, AVeryLongChainIsReleasedWithoutDeepRecursion) {
    KvHandle<KvSipHeader> head(new KvSipUnknownHeader("X-A", "0"));
    KvSipHeader* last = head.get();
    for (int i = 0; i < 200000; ++i) {
        KvHandle<KvSipHeader> next(new KvSipUnknownHeader("X-A", "n"));
        last->setNext(next);
        last = next.get();
    }
    head.release();
    SUCCEED();
}

TEST(KvSipUnknownHeader, KeepsNameTokenAndRawValue) {
    KvSipUnknownHeader header("X-A", "v1");
    EXPECT_EQ(header.getId(), KV_HEADER_UNKNOWN);
    EXPECT_TRUE(header.getToken() == "X-A");
    EXPECT_TRUE(header.getCompactToken() == "X-A");
    EXPECT_TRUE(header.getValue() == "v1");

    KvSipUnknownHeader empty("X-B", nullptr);
    EXPECT_TRUE(empty.getValue().isNull());

    KvHandle<KvSipHeader> parsed = kvParseHeader("X-Trailing:\t  text with blanks  \r\n");
    EXPECT_EQ(kvSerialized(parsed), "text with blanks  ");
    KvHandle<KvSipHeader> copy(static_cast<KvSipHeader*>(parsed->clone()));
    EXPECT_EQ(copy->getId(), KV_HEADER_UNKNOWN);
    EXPECT_EQ(kvSerialized(copy), "text with blanks  ");
}

TEST(KvSipParseError, IsCaughtAsAStackExceptionAndToldApartByType) {
    try {
        KvSipParseError::raise("bad input");
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "bad input");
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
    }
    try {
        KvException::sThrow("other");
    } catch (KvHandle<KvException>& e) {
        EXPECT_EQ(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
    }
}
