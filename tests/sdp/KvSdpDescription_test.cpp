#include "KvSdp.h"

#include "KvSdpTestSupport.h"

namespace {

KvHandle<KvSdpSessionDescription> readSession(KvTextInput& in) {
    return KvHandle<KvSdpSessionDescription>(KvSdpDescription::sConstructFrom(in));
}

int chainLength(KvHandle<KvSdpField> field) {
    int n = 0;
    for (; !field.isNull(); field = field->getNext())
        ++n;
    return n;
}

TEST(KvSdpSessionDescription, ReadsSessionTimeAndMedia) {
    KvTextInput in("v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n"
                   "m=audio 49170 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\na=sendrecv\r\n");
    KvHandle<KvSdpSessionDescription> session = readSession(in);
    EXPECT_STREQ(session->getToken(), "v");
    EXPECT_FALSE(session->getField("v").isNull());
    EXPECT_FALSE(session->getField("o").isNull());
    EXPECT_FALSE(session->getField("c").isNull());
    EXPECT_TRUE(session->getField("a").isNull());

    KvHandle<KvSdpDescription> time = session->getDescription("t");
    ASSERT_FALSE(time.isNull());
    EXPECT_TRUE(time->getNext().isNull());
    KvHandle<KvSdpDescription> media = session->getDescription("m");
    ASSERT_FALSE(media.isNull());
    EXPECT_EQ(chainLength(media->getField("a")), 2);
    EXPECT_TRUE(session->getDescription("v").isNull());

    EXPECT_EQ(kvSerialized(*session),
              "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n"
              "m=audio 49170 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\na=sendrecv\r\n");
}

TEST(KvSdpSessionDescription, WritesInSlotOrder) {
    // Session a= before t=, media c= before i=: both come out in the fixed order.
    KvTextInput in("v=0\r\na=recvonly\r\ns=-\r\no=- 1 1 IN IP4 192.0.2.1\r\nt=0 0\r\n"
                   "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.9\r\ni=voice\r\n");
    KvHandle<KvSdpSessionDescription> session = readSession(in);
    EXPECT_EQ(kvSerialized(*session),
              "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nt=0 0\r\na=recvonly\r\n"
              "m=audio 5004 RTP/AVP 0\r\ni=voice\r\nc=IN IP4 192.0.2.9\r\n");
}

TEST(KvSdpSessionDescription, TimeDescriptionsChainWithTheirRepeats) {
    KvTextInput in("v=0\r\ns=-\r\nt=1 2\r\nr=7d 1h 0 25h\r\nr=1d 1h 0\r\nt=3 4\r\n"
                   "z=2882844526 -1h\r\nk=prompt\r\na=tool:x\r\n");
    KvHandle<KvSdpSessionDescription> session = readSession(in);
    KvHandle<KvSdpDescription> first = session->getDescription("t");
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(chainLength(first->getField("r")), 2);
    ASSERT_FALSE(first->getNext().isNull());
    EXPECT_TRUE(first->getNext()->getField("r").isNull());
    EXPECT_TRUE(session->getDescription("m").isNull());
    EXPECT_EQ(kvSerialized(*session), "v=0\r\ns=-\r\nt=1 2\r\nr=7d 1h 0 25h\r\nr=1d 1h 0\r\n"
                                      "t=3 4\r\nz=2882844526 -1h\r\nk=prompt\r\na=tool:x\r\n");
    EXPECT_EQ(in.rest(), "");
}

TEST(KvSdpSessionDescription, UnregisteredLetters) {
    // At session level the letter has no place.
    KvTextInput session("v=0\r\nx=1\r\ns=-\r\n");
    EXPECT_KV_THROW(readSession(session), KvException,
                    "field doesn't belong in this description type KvSdpDescription::addField()");
    // Inside a media description it ends that description and stays unread.
    KvTextInput media("v=0\r\ns=-\r\nt=0 0\r\nm=audio 1 RTP/AVP 0\r\nx=1\r\na=sendrecv\r\n");
    KvHandle<KvSdpSessionDescription> d = readSession(media);
    EXPECT_TRUE(d->getDescription("m")->getField("a").isNull());
    EXPECT_EQ(media.rest(), "x=1\r\na=sendrecv\r\n");
}

TEST(KvSdpDescription, ConstructFromUnknownToken) {
    KvTextInput in("  \r\nq=1\r\n");
    EXPECT_KV_THROW(KvSdpDescription::sConstructFrom(in), KvSdpParseError,
                    "Unknown token for Description");
    KvTextInput empty("");
    EXPECT_KV_THROW(KvSdpDescription::sConstructFrom(empty), KvSdpParseError,
                    "Unknown token for Description");
}

TEST(KvSdpDescription, AddFieldChecksTheLetter) {
    KvSdpTimeDescription time;
    time.addField(KvHandle<KvSdpField>());
    EXPECT_TRUE(time.getField("t").isNull());
    EXPECT_KV_THROW(time.addField(KvHandle<KvSdpField>(new KvSdpMediaField("audio 1 RTP/AVP 0"))),
                    KvException,
                    "field doesn't belong in this description type KvSdpDescription::addField()");
    // Tokens that are not exactly one allowed letter never reach a slot.
    KvSdpSessionDescription session;
    for (const char* token : {"", "ka", "cb", "vo", "t"}) {
        EXPECT_FALSE(session.isAllowed(token)) << token;
        EXPECT_THROW(session.addField(KvHandle<KvSdpField>(new KvSdpUnusedField(token))),
                     KvHandle<KvException>)
            << token;
    }
    EXPECT_TRUE(session.isAllowed("k"));
    EXPECT_FALSE(session.isAllowed(nullptr));
    EXPECT_TRUE(session.getField("q").isNull());
    EXPECT_TRUE(session.getField("ka").isNull());
}

TEST(KvSdpDescription, LinesWithLongTokensAreRefused) {
    for (const char* body : {"v=0\r\nka=1\r\n", "v=0\r\ncb=1\r\n"}) {
        KvTextInput in(body);
        EXPECT_THROW(KvSdpDescription::sConstructFrom(in), KvHandle<KvException>) << body;
    }
}

TEST(KvSdpTimeDescription, FromFields) {
    KvSdpTimeDescription t(KvHandle<KvSdpTimeField>(new KvSdpTimeField("0", "0")),
                           KvHandle<KvSdpRepeatField>());
    EXPECT_EQ(kvSerialized(t), "t=0 0\r\n");
    KvSdpTimeDescription r(KvHandle<KvSdpTimeField>(new KvSdpTimeField("1", "2")),
                           KvHandle<KvSdpRepeatField>(new KvSdpRepeatField("7d 1h 0")));
    EXPECT_EQ(kvSerialized(r), "t=1 2\r\nr=7d 1h 0\r\n");
}

TEST(KvSdpSessionDescription, AddDescription) {
    KvSdpSessionDescription session;
    session.addDescription(KvHandle<KvSdpDescription>());
    EXPECT_TRUE(session.getDescription("t").isNull());
    EXPECT_KV_THROW(
        session.addDescription(KvHandle<KvSdpDescription>(new KvSdpSessionDescription)),
        KvException,
        "trying to add unknown description in KvSdpSessionDescription::addDescription()");
    KvHandle<KvSdpDescription> media(new KvSdpMediaDescription);
    session.addDescription(media);
    session.addDescription(media); // already there: no cycle
    session.addDescription(KvHandle<KvSdpDescription>(new KvSdpMediaDescription));
    int count = 0;
    for (KvHandle<KvSdpDescription> d = session.getDescription("m"); !d.isNull() && count < 10;
         d = d->getNext())
        ++count;
    EXPECT_EQ(count, 2);
}

TEST(KvSdpMediaDescription, MediaFieldAndFormats) {
    KvTextInput in("m=audio 5004 RTP/AVP 0 8\r\na=ptime:20\r\n");
    KvHandle<KvSdpMediaDescription> media(KvSdpDescription::sConstructFrom(in));
    ASSERT_FALSE(media->getMediaField().isNull());
    EXPECT_EQ(media->getMediaField()->getPort(), 5004);
    EXPECT_TRUE(media->hasFormat(8));
    EXPECT_FALSE(media->hasFormat(18));
    KvSdpMediaDescription empty;
    EXPECT_TRUE(empty.getMediaField().isNull());
    EXPECT_FALSE(empty.hasFormat(0));
}

TEST(KvSdpSessionDescription, LongBodyIsReadAndReleased) {
    std::string body = "v=0\r\ns=-\r\nt=0 0\r\n";
    for (int i = 0; i < 20000; ++i)
        body += "m=audio 5004 RTP/AVP 0\r\n";
    body += "m=audio 5004 RTP/AVP 0\r\n";
    for (int i = 0; i < 100000; ++i)
        body += "a=x\r\n";
    KvTextInput in(body);
    KvHandle<KvSdpSessionDescription> session = readSession(in);
    KvHandle<KvSdpDescription> last = session->getDescription("m");
    int media = 1;
    while (!last->getNext().isNull()) {
        last = last->getNext();
        ++media;
    }
    EXPECT_EQ(media, 20001);
    EXPECT_EQ(chainLength(last->getField("a")), 100000);
    EXPECT_EQ(kvSerialized(*session).size(), body.size());
    last = KvHandle<KvSdpDescription>();
    session = KvHandle<KvSdpSessionDescription>();
}

} // namespace
