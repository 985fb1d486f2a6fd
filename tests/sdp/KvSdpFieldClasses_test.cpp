// The m, a, t, r, b and c field classes.
#include "KvSdp.h"

#include "KvSdpReader.h"
#include "KvSdpTestSupport.h"

namespace {

KvHandle<KvSdpField> readField(KvTextInput& in) {
    return KvSdpField::sConstructFrom(in);
}

std::string roundTrip(const std::string& line) {
    KvTextInput in(line);
    return kvSerialized(*KvSdpField::sConstructFrom(in));
}

// ---- media ----

TEST(KvSdpMediaField, PortCountAndFormats) {
    KvSdpMediaField m("audio 49170/2 RTP/AVP 0 8");
    EXPECT_STREQ(m.getMedia(), "audio");
    EXPECT_EQ(m.getPort(), 49170);
    EXPECT_EQ(m.getNumPorts(), 2);
    EXPECT_STREQ(m.getTransport(), "RTP/AVP");
    ASSERT_EQ(m.getFormats().size(), 2u);
    EXPECT_STREQ(m.getFormatsText().c_str(), "0 8");
    EXPECT_EQ(kvSerialized(m), "m=audio 49170/2 RTP/AVP 0 8\r\n");

    KvSdpMediaField rejected("audio 0 RTP/AVP 0");
    EXPECT_EQ(rejected.getPort(), 0);
    EXPECT_EQ(rejected.getNumPorts(), 0);
    EXPECT_EQ(kvSerialized(rejected), "m=audio 0 RTP/AVP 0\r\n");
}

// The port and the count are signed fields: written as the values they hold.
TEST(KvSdpMediaField, PortAndCountAreWrittenSigned) {
    KvSdpMediaField m("audio 49170 RTP/AVP 0");
    m.setPort(-1);
    EXPECT_EQ(kvSerialized(m), "m=audio -1 RTP/AVP 0\r\n");
    m.setNumPorts(-1);
    EXPECT_EQ(kvSerialized(m), "m=audio -1/-1 RTP/AVP 0\r\n");
}

TEST(KvSdpMediaField, BadPortsAreParseErrors) {
    const char* message = "Parse error in KvSdpMediaField::parse()";
    EXPECT_KV_THROW(KvSdpMediaField("audio 0/2 RTP/AVP 0"), KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 49170/0 RTP/AVP 0"), KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 49170/ RTP/AVP 0"), KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio abc RTP/AVP 0"), KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 65536 RTP/AVP 0"), KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 99999999999 RTP/AVP 0"), KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField(("audio " + std::string(256, '1') + " RTP/AVP 0").c_str()),
                    KvSdpParseError, message);
    EXPECT_KV_THROW(KvSdpMediaField(("audio 5 RTP/AVP " + std::string(256, '1')).c_str()),
                    KvSdpParseError, message);
    KvSdpMediaField m;
    EXPECT_KV_THROW(m.setPort("12x"), KvSdpParseError, message);
    EXPECT_KV_THROW(m.setNumPorts("-1"), KvSdpParseError, message);
}

TEST(KvSdpMediaField, IncompleteLines) {
    const char* message = "KvSdpMediaField::parse Incomplete Media Field";
    EXPECT_KV_THROW(KvSdpMediaField(""), KvException, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio  49170 RTP/AVP 0"), KvException, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 49170  RTP/AVP 0"), KvException, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 49170 RTP/AVP"), KvException, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 49170 RTP/AVP  \t"), KvException, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio"), KvException, message);
    EXPECT_KV_THROW(KvSdpMediaField("audio 49170"), KvException, message);
}

TEST(KvSdpMediaField, MissingPartsNeverTakeTheNextLine) {
    const char* message = "KvSdpMediaField::parse Incomplete Media Field";
    for (const char* body : {"m=audio\r\n5004 RTP/AVP 0\r\n", "m=audio 5004\r\nRTP/AVP 0\r\n",
                             "m=audio 5004 RTP/AVP\r\na=rtpmap:0 PCMU/8000\r\n"}) {
        KvTextInput in(body);
        EXPECT_KV_THROW(readField(in), KvException, message);
        // The stream is still inside the first line: the next line was not consumed.
        std::string rest = in.rest();
        EXPECT_NE(rest.find('\n'), std::string::npos) << body;
    }
}

TEST(KvSdpMediaField, TrailingSpaceKeepsAnEmptyLastFormat) {
    KvSdpMediaField m("audio 5004 RTP/AVP 0 8 ");
    ASSERT_EQ(m.getFormats().size(), 3u);
    EXPECT_TRUE(m.getFormats()[2].isEmpty());
    EXPECT_EQ(kvSerialized(m), "m=audio 5004 RTP/AVP 0 8 \r\n");
}

TEST(KvSdpMediaField, FormatsSplitAtSingleSpaces) {
    KvSdpMediaField m;
    m.setFormats("0  8   18");
    ASSERT_EQ(m.getFormats().size(), 3u);
    EXPECT_STREQ(m.getFormatsText().c_str(), "0 8 18");
    m.setFormats("");
    EXPECT_EQ(m.getFormats().size(), 1u);
}

TEST(KvSdpMediaField, HasFormatComparesOnlyNumbers) {
    KvSdpMediaField image("image 54111 udptl t38");
    EXPECT_FALSE(image.hasFormat(0));
    KvSdpMediaField audio("audio 5004 RTP/AVP 0 8 101 x 99999999999");
    EXPECT_TRUE(audio.hasFormat(0));
    EXPECT_TRUE(audio.hasFormat(8));
    EXPECT_TRUE(audio.hasFormat(101));
    EXPECT_FALSE(audio.hasFormat(18));
    EXPECT_FALSE(audio.hasFormat(-1));
}

TEST(KvSdpMediaField, SerializeNeedsMediaAndTransport) {
    const char* message = "KvSdpMediaField::serialize() Incomplete Media Field";
    KvSdpMediaField m;
    EXPECT_KV_THROW(kvSerialized(m), KvException, message);
    m.setMedia("audio");
    EXPECT_KV_THROW(kvSerialized(m), KvException, message);
    m.setTransport("RTP/AVP");
    m.setFormats("0");
    EXPECT_EQ(kvSerialized(m), "m=audio 0 RTP/AVP 0\r\n");
}

// ---- attribute ----

TEST(KvSdpAttributeField, PropertyAndValueAttributes) {
    KvSdpAttributeField property("sendrecv");
    EXPECT_STREQ(property.getName(), "sendrecv");
    EXPECT_FALSE(property.hasValue());
    EXPECT_EQ(property.getValueText(), nullptr);
    EXPECT_EQ(kvSerialized(property), "a=sendrecv\r\n");

    KvSdpAttributeField fmtp("fmtp:101 0-15");
    EXPECT_STREQ(fmtp.getName(), "fmtp");
    EXPECT_STREQ(fmtp.getValueText(), "101 0-15");
    EXPECT_STREQ(fmtp.getValue()->getClassName(), "KvSdpAttribute");
    EXPECT_EQ(kvSerialized(fmtp), "a=fmtp:101 0-15\r\n");

    KvSdpAttributeField colons("x-uri:sip:alice@example.com");
    EXPECT_STREQ(colons.getName(), "x-uri");
    EXPECT_STREQ(colons.getValueText(), "sip:alice@example.com");
}

TEST(KvSdpAttributeField, RtpmapValueIsAnRtpAttribute) {
    KvSdpAttributeField rtpmap("rtpmap:97 L16/8000/2");
    EXPECT_STREQ(rtpmap.getValue()->getClassName(), "KvSdpRtpAttribute");
    EXPECT_EQ(kvSerialized(rtpmap), "a=rtpmap:97 L16/8000/2\r\n");
    // The name is compared exactly.
    KvSdpAttributeField upper("RTPMAP:97 L16/8000/2");
    EXPECT_STREQ(upper.getValue()->getClassName(), "KvSdpAttribute");
    EXPECT_KV_THROW(KvSdpAttributeField("rtpmap:"), KvSdpParseError,
                    "RTP attribute payload type: Space not found or misplaced");
    EXPECT_KV_THROW(KvSdpAttributeField("rtpmap: 0 PCMU/8000"), KvSdpParseError,
                    "RTP attribute payload type: Space not found or misplaced");
}

TEST(KvSdpAttributeField, Errors) {
    EXPECT_KV_THROW(KvSdpAttributeField(""), KvException,
                    "KvSdpAttributeField::parse Incomplete Attribute Field");
    EXPECT_KV_THROW(KvSdpAttributeField("", "x"), KvSdpParseError,
                    "Attempting to create Attribute Field with empty Name field");
    KvSdpAttributeField unnamed;
    EXPECT_KV_THROW(kvSerialized(unnamed), KvException, "Serializing Invalid Attribute Field");
    KvSdpAttributeField typed("ptime", "20");
    EXPECT_EQ(kvSerialized(typed), "a=ptime:20\r\n");
    KvSdpAttributeField bare("recvonly", KvHandle<KvSdpAttribute>());
    EXPECT_EQ(kvSerialized(bare), "a=recvonly\r\n");
}

// ---- time ----

TEST(KvSdpTimeField, StartAndStop) {
    KvSdpTimeField t("0 0");
    EXPECT_STREQ(t.getStart(), "0");
    EXPECT_STREQ(t.getStop(), "0");
    EXPECT_EQ(roundTrip("t=2873397496 2873404696\r\n"), "t=2873397496 2873404696\r\n");
    EXPECT_EQ(kvSerialized(KvSdpTimeField("3034423619", "3042462419")),
              "t=3034423619 3042462419\r\n");
}

TEST(KvSdpTimeField, Errors) {
    const char* invalid = "KvSdpTimeField::Invalid Time Field";
    EXPECT_KV_THROW(KvSdpTimeField(""), KvException, "KvSdpTimeField::parse Incomplete Time Field");
    EXPECT_KV_THROW(KvSdpTimeField("0\t0"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeField("0"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeField((std::string(128, '1') + " 0").c_str()), KvException, invalid);
    EXPECT_NO_THROW(KvSdpTimeField((std::string(127, '1') + " 0").c_str()));
    // Text behind the stop time is refused, never read as a line of its own.
    EXPECT_KV_THROW(KvSdpTimeField("0 0v=0"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeField("0 0 a=sendonly"), KvException, invalid);
    EXPECT_NO_THROW(KvSdpTimeField("0 0 \t"));
    EXPECT_KV_THROW(KvSdpTimeField("", "0"), KvSdpParseError,
                    "Attempting to create Time field with blank start time");
    EXPECT_KV_THROW(KvSdpTimeField("0", ""), KvSdpParseError,
                    "Attempting to create Time field with blank stop time");
    // An empty stop is held until the field is written.
    KvSdpTimeField open("0 ");
    EXPECT_KV_THROW(kvSerialized(open), KvException,
                    "KvSdpTimeField::serialize() Incomplete Time Field");
}

// ---- repeat ----

TEST(KvSdpRepeatField, IntervalDurationOffsets) {
    KvSdpRepeatField r("604800 3600 0 90000");
    EXPECT_STREQ(r.getInterval(), "604800");
    EXPECT_STREQ(r.getDuration(), "3600");
    EXPECT_STREQ(r.getOffsetsText().c_str(), "0 90000");
    EXPECT_EQ(kvSerialized(r), "r=604800 3600 0 90000\r\n");
    EXPECT_EQ(roundTrip("r=7d 1h 0 25h"), "r=7d 1h 0 25h\r\n");
}

TEST(KvSdpRepeatField, MissingPartsAreRefusedOnTheirOwnLine) {
    const char* message = "KvSdpRepeatField::parse Incomplete Repeat Field";
    for (const char* body :
         {"r=\r\nm=audio 5004 RTP/AVP 0\r\n", "r=7d\r\nm=audio 5004 RTP/AVP 0\r\n",
          "r=7d 1h\r\nm=audio 5004 RTP/AVP 0\r\n"}) {
        KvTextInput in(body);
        EXPECT_KV_THROW(readField(in), KvException, message);
        EXPECT_NE(in.rest().find("m=audio 5004 RTP/AVP 0"), std::string::npos) << body;
    }
    KvSdpRepeatField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "KvSdpRepeatField::serialize() Incomplete Repeat Field");
}

// ---- bandwidth ----

TEST(KvSdpBandwidthField, ModifierAndAmount) {
    KvSdpBandwidthField b("AS:64");
    EXPECT_STREQ(b.getModifier(), "AS");
    EXPECT_EQ(b.getAmount(), 64);
    EXPECT_EQ(kvSerialized(b), "b=AS:64\r\n");
    EXPECT_EQ(KvSdpBandwidthField("CT:0").getAmount(), 0);
    // The number the amount starts with; what follows it is not read.
    EXPECT_EQ(KvSdpBandwidthField("AS:12abc").getAmount(), 12);
    EXPECT_EQ(KvSdpBandwidthField("AS: 64 k").getAmount(), 64);
    EXPECT_EQ(kvSerialized(KvSdpBandwidthField("X-YZ", 128)), "b=X-YZ:128\r\n");
}

TEST(KvSdpBandwidthField, Errors) {
    const char* amount = "Invalid value for Amount in Bandwidth field";
    EXPECT_KV_THROW(KvSdpBandwidthField("AS:abc"), KvException, amount);
    EXPECT_KV_THROW(KvSdpBandwidthField("AS:k64"), KvException, amount);
    EXPECT_KV_THROW(KvSdpBandwidthField("AS:-64"), KvException, amount);
    EXPECT_KV_THROW(KvSdpBandwidthField("AS:99999999999"), KvException, amount);
    EXPECT_KV_THROW(KvSdpBandwidthField("AS:99999999999k"), KvException, amount);
    EXPECT_KV_THROW(KvSdpBandwidthField("AS:"), KvException, amount);
    EXPECT_KV_THROW(KvSdpBandwidthField("AS64"), KvSdpParseError,
                    "KvSdpBandwidthField::parse() Invalid Bandwidth Field");
    EXPECT_KV_THROW(KvSdpBandwidthField(""), KvException,
                    "KvSdpBandwidthField::parse() Invalid Bandwidth Field");
    EXPECT_KV_THROW(KvSdpBandwidthField("", 5), KvSdpParseError,
                    "Trying to create Bandwidth field with blank type field");
    KvSdpBandwidthField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "KvSdpBandwidthField::serialize() Incomplete Bandwidth Field");
}

TEST(KvSdpBandwidthField, ZeroOnlyAsTheDigitAlone) {
    const char* amount = "Invalid value for Amount in Bandwidth field";
    for (const char* line : {"b=AS:0abc\r\n", "b=AS:00\r\n"}) {
        KvTextInput in(line);
        EXPECT_KV_THROW(readField(in), KvException, amount);
    }
    KvSdpBandwidthField b("AS:64");
    EXPECT_KV_THROW(b.setAmount("0abc"), KvException, amount);
    EXPECT_EQ(b.getAmount(), 64);
    EXPECT_EQ(roundTrip("b=AS:0\r\n"), "b=AS:0\r\n");
    EXPECT_EQ(roundTrip("b=AS:12abc\r\n"), "b=AS:12\r\n");
}

// ---- connection ----

TEST(KvSdpConnectionField, ThreeParts) {
    KvSdpConnectionField c("IN IP4 224.2.17.12/127");
    EXPECT_STREQ(c.getNetworkType(), "IN");
    EXPECT_STREQ(c.getAddressType(), "IP4");
    EXPECT_STREQ(c.getAddress(), "224.2.17.12/127");
    EXPECT_EQ(kvSerialized(c), "c=IN IP4 224.2.17.12/127\r\n");
}

TEST(KvSdpConnectionField, Errors) {
    EXPECT_KV_THROW(KvSdpConnectionField(""), KvException,
                    "KvSdpConnectionField::parse() Incomplete Connection Field");
    EXPECT_KV_THROW(KvSdpConnectionField("IN"), KvException,
                    "KvSdpConnectionField::parse() Incomplete AddressType Field");
    EXPECT_KV_THROW(KvSdpConnectionField("IN IP4"), KvException,
                    "KvSdpConnectionField::parse() Incomplete Address Field");
    EXPECT_KV_THROW(KvSdpConnectionField("IN IP4 "), KvException,
                    "KvSdpConnectionField::parse() Incomplete Address Field");
    EXPECT_KV_THROW(KvSdpConnectionField("", "", ""), KvSdpParseError,
                    "Error creating Connection field with blank Network Type");
    EXPECT_KV_THROW(KvSdpConnectionField("IN", "", ""), KvSdpParseError,
                    "Error creating Connection field with blank Address Type");
    EXPECT_KV_THROW(KvSdpConnectionField("IN", "IP4", ""), KvSdpParseError,
                    "Error creating Connection field with blank Address");
    KvSdpConnectionField c("IN", "IP4", "192.0.2.1");
    c.setAddress("");
    EXPECT_KV_THROW(kvSerialized(c), KvException,
                    "KvSdpConnectionField::serialize() Incomplete Connection Field");
}

// Values are kept in place when short and on the heap when long; a reread replaces either, and a
// NUL ends a value as it ends a C text, whether the bytes are shown or read one by one.
TEST(KvSdpConnectionField, ValuesOfAnyLengthAcrossRereads) {
    const std::string longAddress(40, 'h');
    KvSdpConnectionField c(("IN IP4 " + longAddress).c_str());
    EXPECT_STREQ(c.getAddress(), longAddress.c_str());
    KvTextInput shortLine("IN IP6 ::1\r\n");
    c.parse(shortLine);
    EXPECT_EQ(kvSerialized(c), "c=IN IP6 ::1\r\n");
    KvTextInput longLine("IN IP4 " + longAddress + "\r\n");
    c.parse(longLine);
    EXPECT_EQ(kvSerialized(c), "c=IN IP4 " + longAddress + "\r\n");

    for (bool slow : {false, true}) {
        static const char text[] = "o=ali\0ce 1 2 IN IP4 h\r\na=fmtp:97 mo\0de\r\n";
        const std::string body(text, sizeof(text) - 1);
        KvTextInput fast(body);
        KvSlowTextInput byteByByte(body);
        KvTextInput& in = slow ? byteByByte : fast;
        KvHandle<KvSdpOriginField> origin(kvSdpCast<KvSdpOriginField>(readField(in).get()));
        ASSERT_FALSE(origin.isNull());
        EXPECT_STREQ(origin->getUserName(), "ali");
        KvHandle<KvSdpAttributeField> fmtp(kvSdpCast<KvSdpAttributeField>(readField(in).get()));
        ASSERT_FALSE(fmtp.isNull());
        EXPECT_STREQ(fmtp->getValueText(), "97 mo");
    }
}

} // namespace
