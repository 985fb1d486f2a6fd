#include "KvSdpMsg.h"

#include "KvByteArrayOutputStream.h"
#include "KvErrorStream.h"
#include "KvSdp.h"
#include "KvSdpTestSupport.h"
#include "support/KvCorpus.h"
#include "support/KvTestLog.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

const char* const kRfc4566Example = "v=0\r\n"
                                    "o=jdoe 2890844526 2890842807 IN IP4 10.47.16.5\r\n"
                                    "s=SDP Seminar\r\n"
                                    "i=A Seminar on the session description protocol\r\n"
                                    "u=http://www.example.com/seminars/sdp.pdf\r\n"
                                    "e=j.doe@example.com (Jane Doe)\r\n"
                                    "c=IN IP4 224.2.17.12/127\r\n"
                                    "t=2873397496 2873404696\r\n"
                                    "a=recvonly\r\n"
                                    "m=audio 49170 RTP/AVP 0\r\n"
                                    "m=video 51372 RTP/AVP 99\r\n"
                                    "a=rtpmap:99 h263-1998/90000\r\n";

std::string withLf(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '\r')
            out.push_back(c);
    return out;
}

TEST(KvSdpMsg, Rfc4566ExampleRoundTrip) {
    KvSdpMsg message(kRfc4566Example);
    EXPECT_EQ(kvSerialized(message), kRfc4566Example);
    ASSERT_FALSE(message.getConnectionField().isNull());
    EXPECT_STREQ(message.getConnectionField()->getAddress(), "224.2.17.12/127");
    EXPECT_STREQ(message.getOriginField()->getAddress(), "10.47.16.5");
}

TEST(KvSdpMsg, LfOnlyInputIsWrittenWithCrLf) {
    KvSdpMsg message(withLf(kRfc4566Example).c_str());
    EXPECT_EQ(kvSerialized(message), kRfc4566Example);
}

TEST(KvSdpMsg, LeadingBlankLinesAndTheFirstLetter) {
    KvSdpMsg message("\r\n  \r\nv=0\r\ns=-\r\nt=0 0\r\n");
    EXPECT_EQ(kvSerialized(message), "v=0\r\ns=-\r\nt=0 0\r\n");
    EXPECT_KV_THROW(KvSdpMsg("o=- 1 1 IN IP4 192.0.2.1\r\nv=0\r\n"), KvSdpParseError,
                    "SDP Message does not begin with 'v'");
    EXPECT_KV_THROW(KvSdpMsg(""), KvSdpParseError, "SDP Message does not begin with 'v'");
}

TEST(KvSdpMsg, EmptyMessage) {
    KvSdpMsg message(nullptr);
    EXPECT_KV_THROW(kvSerialized(message), KvException,
                    "Session Description is invalid in KvSdpMsg::serialize()");
    EXPECT_TRUE(message.getConnectionField().isNull());
    EXPECT_TRUE(message.getOriginField().isNull());
    EXPECT_TRUE(message.getMediaDescription().isNull());
    EXPECT_TRUE(message.getMediaDescriptionWithFormat(0).isNull());
    EXPECT_KV_THROW(message.insertField(KvHandle<KvSdpField>(new KvSdpAttributeField("recvonly"))),
                    KvSdpParseError, "Attempting to insert invalid field at Session-level");
}

TEST(KvSdpMsg, ConnectionOnlyAtMediaLevel) {
    KvSdpMsg message("v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nt=0 0\r\n"
                     "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.9\r\n");
    EXPECT_TRUE(message.getConnectionField().isNull());
    EXPECT_FALSE(message.getOriginField().isNull());
}

TEST(KvSdpMsg, MediaDescriptionWithFormat) {
    KvSdpMsg message("v=0\r\ns=-\r\nt=0 0\r\nm=audio 5004 RTP/AVP 0\r\nm=audio 5006 RTP/AVP 8\r\n"
                     "m=image 5008 udptl t38\r\n");
    KvHandle<KvSdpMediaDescription> second = message.getMediaDescriptionWithFormat(8);
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(second->getMediaField()->getPort(), 5006);
    EXPECT_EQ(message.getMediaDescriptionWithFormat(0)->getMediaField()->getPort(), 5004);
    EXPECT_TRUE(message.getMediaDescriptionWithFormat(18).isNull());
    int count = 0;
    for (KvHandle<KvSdpDescription> d = message.getMediaDescription(); !d.isNull();
         d = d->getNext())
        ++count;
    EXPECT_EQ(count, 3);
}

TEST(KvSdpMsg, InsertField) {
    KvSdpMsg message("v=0\r\ns=-\r\nt=0 0\r\na=tool:one\r\nm=audio 5004 RTP/AVP 0\r\n");
    message.insertField(KvHandle<KvSdpField>(new KvSdpAttributeField("recvonly")));
    message.insertField(KvHandle<KvSdpField>());
    EXPECT_EQ(kvSerialized(message),
              "v=0\r\ns=-\r\nt=0 0\r\na=tool:one\r\na=recvonly\r\nm=audio 5004 RTP/AVP 0\r\n");
    const char* invalid = "Attempting to insert invalid field at Session-level";
    EXPECT_KV_THROW(message.insertField(KvHandle<KvSdpField>(new KvSdpMediaField("audio 1 x 0"))),
                    KvSdpParseError, invalid);
    EXPECT_KV_THROW(message.insertField(KvHandle<KvSdpField>(new KvSdpTimeField("0", "0"))),
                    KvSdpParseError, invalid);
    EXPECT_KV_THROW(message.insertField(KvHandle<KvSdpField>(new KvSdpUnusedField("ka"))),
                    KvSdpParseError, invalid);
}

TEST(KvSdpMsg, ParseErrorKeepsThePreviousBody) {
    KvSdpMsg message("v=0\r\ns=-\r\nt=0 0\r\n");
    KvTextInput bad("v=0\r\ns=-\r\nt=0 0\r\nm=audio\r\n");
    EXPECT_KV_THROW(message.parse(bad), KvException,
                    "KvSdpMediaField::parse Incomplete Media Field");
    EXPECT_EQ(kvSerialized(message), "v=0\r\ns=-\r\nt=0 0\r\n");
}

// A line that no description takes would end the reading and drop every media description behind
// it: the whole body is refused instead, and a message keeps what it had.
TEST(KvSdpMsg, ALineOfUnknownTypeOrOutOfPlaceRefusesTheBody) {
    for (const char* line : {"y=unknown", "e=a@b.example"}) {
        KvSdpMsg message(kRfc4566Example);
        KvTextInput in(std::string("v=0\r\ns=-\r\nt=0 0\r\nm=audio 5004 RTP/AVP 0\r\n") + line +
                       "\r\nm=video 5006 RTP/AVP 31\r\n");
        EXPECT_KV_THROW(message.parse(in), KvSdpParseError,
                        (std::string("SDP line of unknown type or out of place: ") + line).c_str());
        EXPECT_EQ(kvSerialized(message), kRfc4566Example);
    }
    KvCapturedLog quiet;
    KvSdpMsg clean(kRfc4566Example);
    EXPECT_EQ(quiet.text(), "");
}

TEST(KvSdpMsg, BuiltFromFieldsAndDescriptions) {
    KvHandle<KvSdpTimeDescription> time(new KvSdpTimeDescription(
        KvHandle<KvSdpTimeField>(new KvSdpTimeField("0", "0")), KvHandle<KvSdpRepeatField>()));
    KvHandle<KvSdpMediaDescription> media(new KvSdpMediaDescription);
    media->addField(KvHandle<KvSdpField>(new KvSdpMediaField("audio 5004 RTP/AVP 0")));
    KvSdpMsg typed(
        KvHandle<KvSdpOriginField>(new KvSdpOriginField("- 1 1 IN IP4 192.0.2.1")),
        KvHandle<KvSdpSessionNameField>(new KvSdpSessionNameField("call")),
        KvHandle<KvSdpConnectionField>(new KvSdpConnectionField("IN", "IP4", "192.0.2.1")),
        KvHandle<KvSdpAttributeField>(new KvSdpAttributeField("sendrecv")), time, media);
    const char* expected = "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=call\r\nc=IN IP4 192.0.2.1\r\n"
                           "t=0 0\r\na=sendrecv\r\nm=audio 5004 RTP/AVP 0\r\n";
    EXPECT_EQ(kvSerialized(typed), expected);

    KvSdpMsg generic(KvHandle<KvSdpField>(new KvSdpSessionNameField("call")),
                     KvHandle<KvSdpField>(), KvHandle<KvSdpField>(), KvHandle<KvSdpField>(),
                     KvHandle<KvSdpDescription>(time), KvHandle<KvSdpDescription>());
    EXPECT_EQ(kvSerialized(generic), "v=0\r\ns=call\r\nt=0 0\r\n");

    EXPECT_KV_THROW(KvSdpMsg(KvHandle<KvSdpField>(new KvSdpTimeField("0", "0")),
                             KvHandle<KvSdpField>(), KvHandle<KvSdpField>(), KvHandle<KvSdpField>(),
                             KvHandle<KvSdpDescription>(), KvHandle<KvSdpDescription>()),
                    KvException,
                    "field doesn't belong in this description type KvSdpDescription::addField()");
}

// Reading through a view of the bytes and reading character by character give the same result,
// the same error and leave the same text unread.
TEST(KvSdpMsg, ReadAlikeWithAndWithoutAByteView) {
    const std::string longValue(300, 'x');
    const std::string bodies[] = {
        kRfc4566Example,
        withLf(kRfc4566Example),
        "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns= \t\r\nt=0 0  \r\nm=audio 5004 RTP/AVP 0 8 \r\n"
        "a=x:" +
            longValue + "\r\na=rtpmap:97 L16/8000/2\r\ny=left\r\n",
        "v=0\r\ns=-\r\nt=0 0\r\nm=audio 5004 RTP/AVP " + std::string(300, '1') + "\r\n",
        "v=0\r\ns=-\r\nt=0 0\r\nm=audio 5004 RTP/AVP " + std::string(255, '1'),
        "v=0\r\ns=-\r\ni=info\rx\r\n",
        "v=0\r\ns=-\r\ni=info\r",
        "v=0\r\no=- 1 1 IN IP4\r\ns=-\r\n",
        "v=0\r\ns=-\r\nt=0 0\r\nm=audio 5004\tRTP/AVP 0\r\na=rtpmap: 0 PCMU/8000\r\n",
        "v=0\r\no=a\rb 1 1 IN IP4 h\r\ns=-\r\n",
        "v=0\r\no=a 1 1 IN IP4 h extra\r\ns=-\r\n",
        "v=0\r\no= a\t1 1 IN IP4 h \t\r\r\ns=-\r\n",
        "v=0\r\no=a 1 1 IN IP4 h",
        "v=0\r\ns=-\r\nabcde=1\r\n",
        "v=0\r\ns=-\r\nab",
        "v=0\r\ns=-\r\na\r\n",
        std::string("v=0\r\ns=-\r\na\0=1\r\n", 16),
    };
    for (const std::string& body : bodies) {
        std::string results[2];
        for (int slow = 0; slow < 2; ++slow) {
            KvTextInput fast(body);
            KvSlowTextInput byCharacter(body);
            KvTextInput& in = slow ? byCharacter : fast;
            KvSdpMsg message;
            try {
                message.parse(in);
                results[slow] = kvSerialized(message);
            } catch (KvHandle<KvException>& e) {
                results[slow] = std::string("error: ") + e->getText();
            }
            results[slow] += "|" + in.rest();
        }
        EXPECT_EQ(results[0], results[1]) << body;
    }
}

// Writing stops at the first incomplete field; the lines before it reach the stream all the same.
TEST(KvSdpMsg, LinesBeforeAnIncompleteFieldAreWritten) {
    KvSdpMsg message("v=0\r\ns=-\r\n");
    message.insertField(KvHandle<KvSdpField>(new KvSdpOriginField));
    KvByteArrayOutputStream out;
    EXPECT_THROW(message.serialize(out), KvHandle<KvException>);
    KvHandle<KvByteArray> written = out.toByteArray();
    EXPECT_EQ(std::string(written->getData(), written->size()), "v=0\r\n");

    KvSdpMsg refusedValue("v=0\r\ns=-\r\n");
    refusedValue.insertField(KvHandle<KvSdpField>(
        new KvSdpAttributeField("rtpmap", KvHandle<KvSdpAttribute>(new KvSdpRtpAttribute))));
    KvByteArrayOutputStream partial;
    EXPECT_THROW(refusedValue.serialize(partial), KvHandle<KvException>);
    written = partial.toByteArray();
    EXPECT_EQ(std::string(written->getData(), written->size()), "v=0\r\ns=-\r\na=rtpmap:");
}

// A value class of the application's own writes itself inside the attribute line.
TEST(KvSdpMsg, AttributeValueOfAnotherClassWritesItself) {
    struct Upper : KvSdpAttribute {
        void serialize(KvOutputStream& stream) const override { stream << "OWN"; }
    };
    KvSdpMsg message("v=0\r\ns=-\r\n");
    message.insertField(
        KvHandle<KvSdpField>(new KvSdpAttributeField("x", KvHandle<KvSdpAttribute>(new Upper))));
    EXPECT_EQ(kvSerialized(message), "v=0\r\ns=-\r\na=x:OWN\r\n");
}

// Fields of every message share their type token strings, whichever thread reads them.
TEST(KvSdpMsg, ReadOnSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures] {
            for (int i = 0; i < 200; ++i) {
                KvSdpMsg message(kRfc4566Example);
                if (kvSerialized(message) != kRfc4566Example)
                    ++failures;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

// Every SDP body of the corpus either parses and reads back the same, or is refused with a stack
// exception; none crashes. (Most RFC 4475 bodies carry "a=rtpmap:31 LPC", which lacks the clock
// rate and is refused.)
TEST(KvSdpMsg, CorpusBodies) {
    KV_REQUIRE_CORPUS();
    int parsed = 0;
    int refused = 0;
    for (const auto& [name, text] : kvCorpusMessages({"rfc4475", "bench"})) {
        size_t body = text.find("\r\n\r\nv=");
        if (body == std::string::npos)
            continue;
        KvTextInput in(text.substr(body + 4));
        KvSdpMsg message;
        try {
            message.parse(in);
        } catch (KvHandle<KvException>& e) {
            ++refused;
            std::string why = e->getText();
            EXPECT_TRUE(why == "RTP attribute encoding name: Slash not found or misplaced" ||
                        why == "field doesn't belong in this description type "
                               "KvSdpDescription::addField()") // "m =video"
                << name << ": " << why;
            continue;
        }
        ++parsed;
        std::string once = kvSerialized(message);
        EXPECT_EQ(kvSerialized(KvSdpMsg(once.c_str())), once) << name;
    }
    EXPECT_GE(parsed, 4);
    EXPECT_GE(refused, 10);
}

} // namespace
