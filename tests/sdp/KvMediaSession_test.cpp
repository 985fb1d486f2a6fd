#include "KvMediaSession.h"

#include "KvSdp.h"
#include "KvSdpTestSupport.h"
#include "support/KvCorpus.h"

#include <chrono>
#include <cstring>

namespace {

class KvMediaSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The local host the SDP falls back to, without any name look-up.
        KvInetAddress::setLocalHost("192.0.2.1");
        KvMediaSession::setZeroTime(true);
    }
    void TearDown() override {
        KvInetAddress::setLocalHost("");
        KvMediaSession::setZeroTime(false);
    }
};

KvHandle<KvMediaSession> fromText(const std::string& text) {
    return KvMediaSession::sConstructFrom(text.data(), static_cast<int32_t>(text.size()));
}

KvHandle<KvMediaStream> stream(const KvHandle<KvMediaSession>& session, size_t index) {
    return session->getStreams().at(index);
}

std::string formatsOf(const KvHandle<KvMediaStream>& s) {
    std::string text;
    for (const KvMediaFormat& f : s->getFormats()) {
        if (!text.empty())
            text += ",";
        text += std::to_string(f.getPayloadType());
        if (f.getEncodingName())
            text += std::string(" ") + f.getEncodingName();
    }
    return text;
}

std::string addressOf(const KvHandle<KvMediaStream>& s) {
    return s->getAddress().getHostAddress();
}

std::string attributesOf(const KvHandle<KvMediaStream>& s) {
    std::string text;
    for (const KvHandle<KvSdpAttributeField>& a : s->getAttributes()) {
        if (!text.empty())
            text += ",";
        text += a->getName();
        if (a->hasValue())
            text += std::string(":") + a->getValueText();
    }
    return text;
}

// The session number of the o= line, which is also the session version.
std::string sessionNumber(const std::string& sdp) {
    size_t o = sdp.find("o=");
    size_t first = sdp.find(' ', o) + 1;
    return sdp.substr(first, sdp.find(' ', first) - first);
}

// ---- building ----

TEST_F(KvMediaSessionTest, ApplicationSessionText) {
    KvHandle<KvMediaStream> audio(
        new KvMediaStream(KvMediaAudio, 5004, KvInetAddress("192.0.2.10")));
    audio->addFormat(KvMediaFormat(0, "PCMU"));
    audio->addFormat(KvMediaFormat(101, "telephone-event"));
    audio->addFormat(KvMediaFormat(120, "scramble"));
    KvMediaSession session(audio);
    session.setUserName("alice");
    session.setConnectionAddress("192.0.2.10");

    const int64_t before = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    std::string sdp = session.getSdp();
    const std::string n = sessionNumber(sdp);
    const int64_t number = std::stoll(n);
    EXPECT_GE(number, before + 2208988800LL);
    EXPECT_LE(number, before + 2208988800LL + 5);
    EXPECT_EQ(sdp, "v=0\r\n"
                   "o=alice " +
                       n + " " + n +
                       " IN IP4 192.0.2.1\r\n"
                       "s=SDP Media Session\r\n"
                       "c=IN IP4 192.0.2.10\r\n"
                       "t=0 0\r\n"
                       "m=audio 5004 RTP/AVP 0 101 120\r\n"
                       "a=rtpmap:0 PCMU/8000\r\n"
                       "a=rtpmap:101 telephone-event/8000\r\n"
                       "a=rtpmap:120 scramble/8000\r\n");
    EXPECT_EQ(session.getSdpLength(), static_cast<int32_t>(sdp.size()));
}

TEST_F(KvMediaSessionTest, DefaultsAndTimeLine) {
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    audio->addFormat(KvMediaFormat(8, "PCMA"));
    KvMediaSession::setZeroTime(false);
    KvMediaSession session(audio);
    std::string sdp = session.getSdp();
    const std::string n = sessionNumber(sdp);
    EXPECT_EQ(sdp, "v=0\r\no=user " + n + " " + n +
                       " IN IP4 192.0.2.1\r\ns=SDP Media Session\r\nc=IN IP4 192.0.2.1\r\nt=" + n +
                       " 0\r\nm=audio 5004 RTP/AVP 8\r\na=rtpmap:8 PCMA/8000\r\n");
}

TEST_F(KvMediaSessionTest, TextIsMadeAgainOnlyAfterAChange) {
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    audio->addFormat(KvMediaFormat(0, "PCMU"));
    KvMediaSession session(audio);
    std::string first = session.getSdp();
    EXPECT_EQ(std::string(session.getSdp()), first);

    KvHandle<KvMediaStream> video(new KvMediaStream(KvMediaVideo, 5006, KvInetAddress()));
    video->addFormat(KvMediaFormat(31, "H261"));
    session.addStream(video);
    session.addStream(KvHandle<KvMediaStream>());
    std::string second = session.getSdp();
    size_t audioLine = second.find("m=audio 5004 RTP/AVP 0\r\n");
    size_t videoLine = second.find("m=video 5006 RTP/AVP 31\r\na=rtpmap:31 H261/8000\r\n");
    ASSERT_NE(audioLine, std::string::npos) << second;
    ASSERT_NE(videoLine, std::string::npos) << second;
    EXPECT_LT(audioLine, videoLine);
    EXPECT_EQ(session.getSdpLength(), static_cast<int32_t>(second.size()));
}

TEST_F(KvMediaSessionTest, MediaLevelConnectionLine) {
    KvHandle<KvMediaStream> none(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    KvHandle<KvMediaStream> same(
        new KvMediaStream(KvMediaAudio, 5006, KvInetAddress("192.0.2.10")));
    KvHandle<KvMediaStream> other(
        new KvMediaStream(KvMediaAudio, 5008, KvInetAddress("192.0.2.77")));
    for (const auto& s : {none, same, other})
        s->addFormat(KvMediaFormat(0, nullptr));
    KvMediaSession session(none);
    session.addStream(same);
    session.addStream(other);
    session.setConnectionAddress("192.0.2.10");
    std::string sdp = session.getSdp();
    EXPECT_NE(sdp.find("m=audio 5004 RTP/AVP 0\r\nm=audio 5006 RTP/AVP 0\r\n"
                       "m=audio 5008 RTP/AVP 0\r\nc=IN IP4 192.0.2.77\r\n"),
              std::string::npos)
        << sdp;
    EXPECT_EQ(sdp.find("a=rtpmap"), std::string::npos) << sdp;
}

TEST_F(KvMediaSessionTest, AttributesAreWritten) {
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    audio->addFormat(KvMediaFormat(0, ""));
    audio->addAttribute(KvHandle<KvSdpAttributeField>(new KvSdpAttributeField("sendrecv")));
    audio->addAttribute(KvHandle<KvSdpAttributeField>(new KvSdpAttributeField("ptime", "20")));
    const std::string longLine = "x:" + std::string(3000, 'v'); // longer than any fixed line buffer
    audio->addAttribute(KvHandle<KvSdpAttributeField>(new KvSdpAttributeField(longLine.c_str())));
    audio->addAttribute(KvHandle<KvSdpAttributeField>());
    KvMediaSession session(audio);
    std::string sdp = session.getSdp();
    EXPECT_NE(sdp.find("m=audio 5004 RTP/AVP 0\r\na=sendrecv\r\na=ptime:20\r\na=x:" +
                       std::string(3000, 'v') + "\r\n"),
              std::string::npos)
        << sdp;
}

TEST_F(KvMediaSessionTest, LongTextsAreKeptWhole) {
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    audio->addFormat(KvMediaFormat(0, "PCMU"));
    KvMediaSession session(audio);
    const std::string user(2000, 'u');
    session.setUserName(user.c_str());
    session.setOriginAddress("  origin.example.com.with.a.long.name  ");
    EXPECT_STREQ(session.getUserName(), user.c_str());
    std::string sdp = session.getSdp();
    EXPECT_NE(sdp.find("o=" + user + " "), std::string::npos);
    EXPECT_NE(sdp.find(" IN IP4 origin.example.com.with.a.long.name\r\n"), std::string::npos);
}

// An address is one token of its line, like the user name: a blank inside it is refused and
// the address held before stays.
TEST_F(KvMediaSessionTest, AnAddressWithABlankIsRefused) {
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    audio->addFormat(KvMediaFormat(0, "PCMU"));
    KvMediaSession session(audio);
    session.setOriginAddress("192.0.2.10");
    session.setConnectionAddress("192.0.2.11");
    for (const char* address : {"192.0.2.10 backup", "a\tb"}) {
        EXPECT_KV_THROW(session.setOriginAddress(address), KvSdpParseError,
                        "Attempting to set an address with a blank");
        EXPECT_KV_THROW(session.setConnectionAddress(address), KvSdpParseError,
                        "Attempting to set an address with a blank");
    }
    KvHandle<KvMediaSession> back(
        KvMediaSession::sConstructFrom(session.getSdp(), session.getSdpLength()));
    ASSERT_FALSE(back.isNull());
    EXPECT_STREQ(back->getOriginAddress(), "192.0.2.10");
    EXPECT_STREQ(back->getConnectionAddress(), "192.0.2.11");
    // Nor does a stream take a port, or a format a payload type or name, that "m=" or
    // "a=rtpmap:" would not read back.
    for (int32_t port : {-1, 65536})
        EXPECT_KV_THROW(KvMediaStream(KvMediaAudio, port, KvInetAddress()), KvSdpParseError,
                        "Attempting to create KvMediaStream with a port outside 0 to 65535");
    EXPECT_KV_THROW(KvMediaFormat(-1, "X"), KvSdpParseError,
                    "Attempting to create KvMediaFormat with a negative payload type");
    EXPECT_KV_THROW(KvMediaFormat(97, "a/b"), KvSdpParseError,
                    "Attempting to create KvMediaFormat with a slash in the name");
    EXPECT_EQ(KvMediaStream(KvMediaAudio, 65535, KvInetAddress()).getPort(), 65535);
}

TEST_F(KvMediaSessionTest, BuildErrors) {
    KvMediaSession empty{KvHandle<KvMediaStream>()};
    EXPECT_KV_THROW(empty.getSdp(), KvSdpParseError,
                    "No Media Streams to create Media Descriptions from");
    EXPECT_KV_THROW(empty.getSdpLength(), KvSdpParseError,
                    "No Media Streams to create Media Descriptions from");

    KvMediaSession noFormats(
        KvHandle<KvMediaStream>(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress())));
    EXPECT_KV_THROW(noFormats.getSdp(), KvException,
                    "KvSdpMediaField::serialize() Incomplete Media Field");

    // The user name is one token of the o= line.
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    KvMediaSession named(audio);
    named.setUserName("alice");
    for (const char* user : {"al ice", "alice\r\nm=video 1 RTP/AVP 31", "a\tb"})
        EXPECT_KV_THROW(named.setUserName(user), KvSdpParseError,
                        "Attempting to set a user name with a blank or a line break");
    EXPECT_STREQ(named.getUserName(), "alice");

    KvHandle<KvMediaStream> odd(new KvMediaStream(9, 5004, KvInetAddress()));
    odd->addFormat(KvMediaFormat(0, nullptr));
    KvMediaSession unknownType(odd);
    EXPECT_KV_THROW(unknownType.getSdp(), KvException,
                    "KvSdpMediaField::serialize() Incomplete Media Field");
}

// ---- reading ----

TEST_F(KvMediaSessionTest, NoTextNoSession) {
    EXPECT_TRUE(KvMediaSession::sConstructFrom(nullptr, 10).isNull());
    EXPECT_TRUE(KvMediaSession::sConstructFrom("v=0\r\n", 0).isNull());
    EXPECT_TRUE(KvMediaSession::sConstructFrom("v=0\r\n", -5).isNull());
}

TEST_F(KvMediaSessionTest, SessionConnectionAddress) {
    KvHandle<KvMediaSession> s =
        fromText("v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\n"
                 "c=IN IP4 192.0.2.7\r\nt=0 0\r\nm=audio 49170 RTP/AVP 0\r\n");
    ASSERT_FALSE(s.isNull());
    ASSERT_EQ(s->getStreams().size(), 1u);
    EXPECT_EQ(stream(s, 0)->getMediaType(), KvMediaAudio);
    EXPECT_EQ(stream(s, 0)->getPort(), 49170);
    EXPECT_EQ(addressOf(stream(s, 0)), "192.0.2.7");
    EXPECT_EQ(formatsOf(stream(s, 0)), "0");
    EXPECT_TRUE(stream(s, 0)->getAttributes().empty());
    EXPECT_STREQ(s->getConnectionAddress(), "192.0.2.7");
    EXPECT_STREQ(s->getOriginAddress(), "192.0.2.5");
    EXPECT_STREQ(s->getUserName(), "");
}

TEST_F(KvMediaSessionTest, OriginAddressWithoutConnection) {
    KvHandle<KvMediaSession> s = fromText("v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\nt=0 0\r\n"
                                          "m=audio 49170 RTP/AVP 0\r\n");
    EXPECT_EQ(addressOf(stream(s, 0)), "192.0.2.5");
    EXPECT_STREQ(s->getConnectionAddress(), "");
}

TEST_F(KvMediaSessionTest, NoAddressAtAllOrNoKnownMedia) {
    EXPECT_KV_THROW(fromText("v=0\r\ns=-\r\nt=0 0\r\nm=audio 49170 RTP/AVP 0\r\n"), KvSdpParseError,
                    "Invalid SDP Message, both Connection field  and Origin Field are missing\n");
    EXPECT_TRUE(fromText("v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\nt=0 0\r\n"
                         "m=message 5000 TCP/MSRP *\r\nm=Audio 5002 RTP/AVP 0\r\n")
                    .isNull());
    EXPECT_TRUE(fromText("v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\nt=0 0\r\n").isNull());
    EXPECT_KV_THROW(fromText("o=- 1 1 IN IP4 192.0.2.5\r\n"), KvSdpParseError,
                    "SDP Message does not begin with 'v'");
}

TEST_F(KvMediaSessionTest, ConnectionPerMediaDescription) {
    // RFC 4566 5.7: a media description's own c= line, else the session's, else the origin's.
    KvHandle<KvMediaSession> s =
        fromText("v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\n"
                 "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.9\r\nm=audio 5006 RTP/AVP 0\r\n");
    EXPECT_EQ(addressOf(stream(s, 0)), "192.0.2.9");
    EXPECT_EQ(addressOf(stream(s, 1)), "192.0.2.7");

    KvHandle<KvMediaSession> o =
        fromText("v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\nt=0 0\r\n"
                 "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.9\r\nm=audio 5006 RTP/AVP 0\r\n");
    EXPECT_EQ(addressOf(stream(o, 0)), "192.0.2.9");
    EXPECT_EQ(addressOf(stream(o, 1)), "192.0.2.5");
    EXPECT_STREQ(o->getConnectionAddress(), "");
}

TEST_F(KvMediaSessionTest, MulticastAddressWithTtl) {
    KvHandle<KvMediaSession> s = fromText(
        "v=0\r\no=- 1 1 IN IP4 192.0.2.5\r\ns=-\r\nc=IN IP4 224.2.17.12/127\r\nt=0 0\r\n"
        "m=audio 49170 RTP/AVP 0\r\nm=video 51372 RTP/AVP 99\r\nc=IN IP4 224.2.1.1/127/3\r\n");
    EXPECT_EQ(addressOf(stream(s, 0)), "224.2.17.12");
    EXPECT_EQ(addressOf(stream(s, 1)), "224.2.1.1");
    EXPECT_STREQ(s->getConnectionAddress(), "224.2.17.12");
}

TEST_F(KvMediaSessionTest, FormatsAndRtpmaps) {
    // A repeated payload type on the m= line moves to the end.
    EXPECT_EQ(formatsOf(stream(fromText("v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\n"
                                        "m=audio 5004 RTP/AVP 0 8 0\r\n"),
                               0)),
              "8,0");
    // An rtpmap line names its format and moves it to the end, in rtpmap order; one for a missing
    // type is appended.
    KvHandle<KvMediaSession> s =
        fromText("v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\nm=audio 10000 RTP/AVP 0 18 101\r\n"
                 "a=rtpmap:101 telephone-event/8000\r\na=rtpmap:18 G729/8000\r\n"
                 "a=fmtp:101 0-15\r\na=rtpmap:96 opus/48000/2\r\na=sendrecv\r\n");
    EXPECT_EQ(formatsOf(stream(s, 0)), "0,101 telephone-event,18 G729,96 opus");
    EXPECT_EQ(formatsOf(stream(fromText("v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\n"
                                        "m=audio 4000 RTP/AVP 0 8\r\na=rtpmap:0 PCMU/8000\r\n"),
                               0)),
              "8,0 PCMU");
    EXPECT_EQ(attributesOf(stream(s, 0)), "fmtp:101 0-15,sendrecv");
    // Formats that are not payload type numbers are skipped, never read as 0 (PCMU).
    KvHandle<KvMediaSession> t =
        fromText("v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\nm=image 5008 udptl t38\r\n"
                 "m=audio 5010 RTP/AVP x 8 99999999999\r\n");
    EXPECT_EQ(stream(t, 0)->getMediaType(), KvMediaImage);
    EXPECT_EQ(formatsOf(stream(t, 0)), "");
    EXPECT_EQ(formatsOf(stream(t, 1)), "8");
}

TEST_F(KvMediaSessionTest, ExactlyLengthBytesAreRead) {
    std::string text = "v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\nm=audio 5004 RTP/AVP 0\r\n";
    std::string buffer = text + "m=video 6000 RTP/AVP 31\r\n";
    KvHandle<KvMediaSession> s =
        KvMediaSession::sConstructFrom(buffer.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(s->getStreams().size(), 1u);
}

// RFC 4317 style offers and answers (addresses in place of host names, so nothing is resolved).
TEST_F(KvMediaSessionTest, AudioAndVideoOfferAndAnswer) {
    KvHandle<KvMediaSession> offer = fromText(
        "v=0\r\no=alice 2890844526 2890844526 IN IP4 192.0.2.101\r\ns=\r\nc=IN IP4 192.0.2.101\r\n"
        "t=0 0\r\nm=audio 49170 RTP/AVP 0 8 97\r\na=rtpmap:0 PCMU/8000\r\na=rtpmap:8 PCMA/8000\r\n"
        "a=rtpmap:97 iLBC/8000\r\nm=video 51372 RTP/AVP 31 32\r\na=rtpmap:31 H261/90000\r\n"
        "a=rtpmap:32 MPV/90000\r\n");
    ASSERT_EQ(offer->getStreams().size(), 2u);
    EXPECT_EQ(formatsOf(stream(offer, 0)), "0 PCMU,8 PCMA,97 iLBC");
    EXPECT_EQ(stream(offer, 1)->getMediaType(), KvMediaVideo);
    EXPECT_EQ(stream(offer, 1)->getPort(), 51372);
    EXPECT_EQ(formatsOf(stream(offer, 1)), "31 H261,32 MPV");

    KvHandle<KvMediaSession> answer = fromText(
        "v=0\r\no=bob 2808844564 2808844564 IN IP4 192.0.2.201\r\ns=\r\nc=IN IP4 192.0.2.201\r\n"
        "t=0 0\r\nm=audio 49174 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\nm=video 0 RTP/AVP 31\r\n"
        "a=rtpmap:31 H261/90000\r\n");
    EXPECT_EQ(stream(answer, 0)->getPort(), 49174);
    EXPECT_EQ(addressOf(stream(answer, 0)), "192.0.2.201");
    EXPECT_EQ(stream(answer, 1)->getPort(), 0); // the video stream is rejected
}

TEST_F(KvMediaSessionTest, TwoAudioStreamsAndDirections) {
    KvHandle<KvMediaSession> s =
        fromText("v=0\r\no=alice 2890844526 2890844526 IN IP4 192.0.2.101\r\ns=\r\nt=0 0\r\n"
                 "m=audio 49170 RTP/AVP 0 97 98\r\nc=IN IP4 192.0.2.102\r\na=rtpmap:0 PCMU/8000\r\n"
                 "a=rtpmap:97 iLBC/8000\r\na=rtpmap:98 telephone-event/8000\r\na=fmtp:98 0-15\r\n"
                 "a=sendonly\r\nm=audio 49172 RTP/AVP 98\r\nc=IN IP4 192.0.2.103\r\n"
                 "a=rtpmap:98 telephone-event/8000\r\na=fmtp:98 0-15\r\na=recvonly\r\n"
                 "m=audio 49174 RTP/AVP 97\r\nc=IN IP4 192.0.2.104\r\na=rtpmap:97 L16/8000/2\r\n");
    ASSERT_EQ(s->getStreams().size(), 3u);
    EXPECT_EQ(addressOf(stream(s, 0)), "192.0.2.102");
    EXPECT_EQ(formatsOf(stream(s, 0)), "0 PCMU,97 iLBC,98 telephone-event");
    EXPECT_EQ(attributesOf(stream(s, 0)), "fmtp:98 0-15,sendonly");
    EXPECT_EQ(addressOf(stream(s, 1)), "192.0.2.103");
    EXPECT_EQ(attributesOf(stream(s, 1)), "fmtp:98 0-15,recvonly");
    EXPECT_EQ(formatsOf(stream(s, 2)), "97 L16");
    EXPECT_STREQ(s->getConnectionAddress(), "");
    EXPECT_STREQ(s->getOriginAddress(), "192.0.2.101");
}

TEST_F(KvMediaSessionTest, BenchInviteBody) {
    KV_REQUIRE_CORPUS();
    std::string text = kvCorpusFile("bench/a_invite.sip");
    size_t body = text.find("\r\n\r\n");
    ASSERT_NE(body, std::string::npos);
    KvHandle<KvMediaSession> s = fromText(text.substr(body + 4));
    ASSERT_EQ(s->getStreams().size(), 2u);
    EXPECT_EQ(formatsOf(stream(s, 0)), "0 PCMU,8 PCMA,97 iLBC,101 telephone-event");
    EXPECT_EQ(attributesOf(stream(s, 0)), "fmtp:97 mode=30,fmtp:101 0-15,ptime:20,sendrecv");
    EXPECT_EQ(addressOf(stream(s, 1)), "192.0.2.101");
}

TEST_F(KvMediaSessionTest, ReadSessionWritesItsAttributesBack) {
    KvHandle<KvMediaSession> s = fromText("v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\n"
                                          "m=audio 5004 RTP/AVP 0\r\na=rtpmap:0 PCMU/44100\r\n"
                                          "a=sendrecv\r\n");
    std::string sdp = s->getSdp();
    EXPECT_NE(sdp.find("c=IN IP4 192.0.2.7\r\nt=0 0\r\nm=audio 5004 RTP/AVP 0\r\n"
                       "a=rtpmap:0 PCMU/8000\r\na=sendrecv\r\n"),
              std::string::npos)
        << sdp;
}

// ---- copies and merging ----

TEST_F(KvMediaSessionTest, StreamCopyIsDeep) {
    KvHandle<KvMediaStream> original(
        new KvMediaStream(KvMediaAudio, 5004, KvInetAddress("192.0.2.7")));
    original->addFormat(KvMediaFormat(0, "PCMU"));
    KvHandle<KvSdpAttributeField> fmtp(new KvSdpAttributeField("fmtp", "101 0-15"));
    original->addAttribute(fmtp);
    original->addAttribute(KvHandle<KvSdpAttributeField>(new KvSdpAttributeField("sendrecv")));
    KvMediaStream copy(original);
    EXPECT_EQ(copy.getPort(), 5004);
    EXPECT_EQ(formatsOf(KvHandle<KvMediaStream>(new KvMediaStream(copy))), "0 PCMU");
    ASSERT_EQ(copy.getAttributes().size(), 2u);
    EXPECT_NE(copy.getAttributes()[0].get(), fmtp.get());
    EXPECT_STREQ(copy.getAttributes()[0]->getValueText(), "101 0-15");
    EXPECT_FALSE(copy.getAttributes()[1]->hasValue());

    KvMediaStream fromNull{KvHandle<KvMediaStream>()};
    EXPECT_EQ(fromNull.getPort(), 0);
    EXPECT_TRUE(fromNull.getFormats().empty());
}

TEST_F(KvMediaSessionTest, StreamFormatsAndAttributes) {
    KvMediaStream s(KvMediaAudio, 5004, KvInetAddress());
    s.addFormat(KvMediaFormat(0, "PCMU"));
    s.addFormat(KvMediaFormat(8, "PCMA"));
    s.addFormat(KvMediaFormat(0, "pcmu"));
    ASSERT_EQ(s.getFormats().size(), 2u);
    EXPECT_STREQ(s.getFormats()[1].getEncodingName(), "pcmu");
    EXPECT_EQ(KvMediaFormat(5, "").getEncodingName(), nullptr);

    s.addAttribute(KvHandle<KvSdpAttributeField>(new KvSdpAttributeField("SendRecv")));
    s.addAttribute(KvHandle<KvSdpAttributeField>(new KvSdpAttributeField("ptime", "20")));
    EXPECT_TRUE(s.removeAttribute("sendrecv"));
    EXPECT_FALSE(s.removeAttribute("sendrecv"));
    EXPECT_FALSE(s.removeAttribute(nullptr));
    ASSERT_EQ(s.getAttributes().size(), 1u);
    EXPECT_STREQ(s.getAttributes()[0]->getName(), "ptime");
}

TEST_F(KvMediaSessionTest, SessionCopy) {
    KvHandle<KvMediaStream> audio(new KvMediaStream(KvMediaAudio, 5004, KvInetAddress()));
    audio->addFormat(KvMediaFormat(0, "PCMU"));
    KvHandle<KvMediaSession> session(new KvMediaSession(audio));
    session->setUserName("alice");
    session->setConnectionAddress("192.0.2.10");
    KvMediaSession copy(session);
    EXPECT_STREQ(copy.getUserName(), "alice");
    EXPECT_STREQ(copy.getConnectionAddress(), "192.0.2.10");
    ASSERT_EQ(copy.getStreams().size(), 1u);
    EXPECT_NE(copy.getStreams()[0].get(), audio.get());
    EXPECT_NE(std::string(copy.getSdp()).find("m=audio 5004 RTP/AVP 0\r\n"), std::string::npos);
    KvMediaSession fromNull{KvHandle<KvMediaSession>()};
    EXPECT_TRUE(fromNull.getStreams().empty());
}

TEST_F(KvMediaSessionTest, MergeStream) {
    KvHandle<KvMediaStream> local(
        new KvMediaStream(KvMediaAudio, 5004, KvInetAddress("192.0.2.10")));
    local->addFormat(KvMediaFormat(0, "PCMU"));
    KvHandle<KvMediaSession> first(new KvMediaSession(local));
    first->setConnectionAddress("192.0.2.10");
    KvHandle<KvMediaSession> second =
        fromText("v=0\r\nc=IN IP4 192.0.2.7\r\nt=0 0\r\nm=audio 6000 RTP/AVP 8 101\r\n"
                 "a=rtpmap:8 PCMA/8000\r\na=rtpmap:101 telephone-event/8000\r\na=ptime:30\r\n");

    KvHandle<KvMediaSession> merged = KvMediaSession::sMergeStream(first, second, KvMediaAudio);
    ASSERT_FALSE(merged.isNull());
    ASSERT_EQ(merged->getStreams().size(), 1u);
    EXPECT_EQ(stream(merged, 0)->getPort(), 5004);
    EXPECT_EQ(addressOf(stream(merged, 0)), "192.0.2.10");
    EXPECT_EQ(formatsOf(stream(merged, 0)), "8 PCMA,101 telephone-event");
    EXPECT_EQ(attributesOf(stream(merged, 0)), "ptime:30");
    EXPECT_EQ(stream(merged, 0)->getAttributes()[0].get(),
              stream(second, 0)->getAttributes()[0].get());
    EXPECT_STREQ(merged->getConnectionAddress(), "192.0.2.10");

    EXPECT_TRUE(KvMediaSession::sMergeStream(first, second, KvMediaVideo).isNull());
    EXPECT_TRUE(KvMediaSession::sMergeStream(KvHandle<KvMediaSession>(), second, 0).isNull());
    KvHandle<KvMediaSession> alone =
        KvMediaSession::sMergeStream(first, KvHandle<KvMediaSession>(), KvMediaAudio);
    EXPECT_EQ(formatsOf(stream(alone, 0)), "");
}

} // namespace
