#include "KvSdpRtpAttribute.h"

#include "KvSdpAttributeField.h"

#include "KvSdpTestSupport.h"

namespace {

TEST(KvSdpRtpAttribute, Parts) {
    KvSdpRtpAttribute pcmu("0 PCMU/8000");
    EXPECT_EQ(pcmu.getPayloadType(), 0);
    EXPECT_STREQ(pcmu.getEncodingName(), "PCMU");
    EXPECT_EQ(pcmu.getClockRate(), 8000);
    EXPECT_EQ(pcmu.getEncodingParameters(), 0);
    EXPECT_STREQ(pcmu.getEncodingParametersText(), "");
    EXPECT_EQ(kvSerialized(pcmu), "0 PCMU/8000");
    EXPECT_STREQ(pcmu.getText(), "0 PCMU/8000");

    KvSdpRtpAttribute l16("97 L16/8000/2");
    EXPECT_EQ(l16.getEncodingParameters(), 2);
    EXPECT_EQ(kvSerialized(l16), "97 L16/8000/2");
}

TEST(KvSdpRtpAttribute, ParametersThatAreNotACount) {
    const struct {
        const char* value;
        const char* text;
        const char* written;
    } cases[] = {
        {"97 X/8000/abc", "abc", "97 X/8000/abc"},
        {"97 X/8000/0", "0", "97 X/8000/0"},
        {"97 X/8000/-2", "-2", "97 X/8000/-2"},
        {"97 X/8000/", "", "97 X/8000"},
        {"97 X/8000/99999999999", "99999999999", "97 X/8000/99999999999"},
    };
    for (const auto& c : cases) {
        KvSdpRtpAttribute a(c.value);
        EXPECT_EQ(a.getEncodingParameters(), 0) << c.value;
        EXPECT_STREQ(a.getEncodingParametersText(), c.text) << c.value;
        EXPECT_EQ(kvSerialized(a), c.written) << c.value;
    }
    EXPECT_EQ(KvSdpRtpAttribute("0 PCMU/").getClockRate(), 0);
    // The clock rate is the number its text starts with.
    KvSdpRtpAttribute trailing("0 PCMU/8000abc");
    EXPECT_EQ(trailing.getClockRate(), 8000);
    EXPECT_EQ(kvSerialized(trailing), "0 PCMU/8000");
    EXPECT_EQ(KvSdpRtpAttribute("97 X/16000kHz/2").getClockRate(), 16000);
}

TEST(KvSdpRtpAttribute, TextIsReadAsOneLine) {
    KvSdpRtpAttribute a("97 L16/8000/2 \r\n0 PCMU/8000");
    EXPECT_EQ(a.getPayloadType(), 97);
    EXPECT_STREQ(a.getText(), "97 L16/8000/2");
    EXPECT_EQ(KvSdpRtpAttribute("8 PCMA/8000\n").getPayloadType(), 8);
    EXPECT_KV_THROW(KvSdpRtpAttribute("0 PCMU/8000\rx"), KvException,
                    "carriage return without newline");
    // A long line is read whole.
    const std::string name(1000, 'x');
    EXPECT_STREQ(KvSdpRtpAttribute(("96 " + name + "/8000").c_str()).getEncodingName(),
                 name.c_str());
    KvTextInput in("96 " + name + "/90000\r\n");
    KvSdpRtpAttribute b;
    b.parse(in);
    EXPECT_EQ(kvSerialized(b), "96 " + name + "/90000");
}

TEST(KvSdpRtpAttribute, Errors) {
    const char* space = "RTP attribute payload type: Space not found or misplaced";
    const char* slash = "RTP attribute encoding name: Slash not found or misplaced";
    EXPECT_KV_THROW(KvSdpRtpAttribute(" 0 PCMU/8000"), KvSdpParseError, space);
    EXPECT_KV_THROW(KvSdpRtpAttribute("0"), KvSdpParseError, space);
    EXPECT_KV_THROW(KvSdpRtpAttribute(""), KvSdpParseError, space);
    // Not a payload type number: never read as 0 (PCMU).
    EXPECT_KV_THROW(KvSdpRtpAttribute("x PCMU/8000"), KvSdpParseError, space);
    EXPECT_KV_THROW(KvSdpRtpAttribute("99999999999 PCMU/8000"), KvSdpParseError, space);
    EXPECT_KV_THROW(KvSdpRtpAttribute("101 telephone-event"), KvSdpParseError, slash);
    EXPECT_KV_THROW(KvSdpRtpAttribute("101 /8000"), KvSdpParseError, slash);
    EXPECT_KV_THROW(KvSdpRtpAttribute("0 PCMU/k8"), KvSdpParseError, slash);
    EXPECT_KV_THROW(KvSdpRtpAttribute("0 PCMU/99999999999"), KvSdpParseError, slash);
    EXPECT_KV_THROW(KvSdpRtpAttribute("0 PCMU/99999999999k"), KvSdpParseError, slash);
    KvSdpRtpAttribute empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "KvSdpRtpAttribute::serialize() Incomplete Rtp Attribute Field");
}

TEST(KvSdpRtpAttribute, SecondParseResetsEveryPart) {
    KvSdpRtpAttribute a("97 L16/8000/2");
    KvTextInput in("0 PCMU/8000\r\n");
    a.parse(in);
    EXPECT_EQ(a.getEncodingParameters(), 0);
    EXPECT_EQ(kvSerialized(a), "0 PCMU/8000");

    KvSdpRtpAttribute b("97 X/8000/abc");
    KvTextInput again("98 Y/16000");
    b.parse(again);
    EXPECT_STREQ(b.getEncodingParametersText(), "");
    EXPECT_EQ(kvSerialized(b), "98 Y/16000");
}

TEST(KvSdpRtpAttribute, SettersRebuildTheText) {
    KvSdpRtpAttribute a("0 PCMU/8000");
    EXPECT_FALSE(a.isChanged());
    a.setPayloadType(8);
    a.setEncodingName("PCMA");
    EXPECT_TRUE(a.isChanged());
    EXPECT_STREQ(a.getText(), "8 PCMA/8000");
    a.setEncodingParameters(2);
    EXPECT_STREQ(a.getText(), "8 PCMA/8000/2");
    a.setEncodingParameters(0);
    a.setEncodingParametersText("abc");
    EXPECT_STREQ(a.getText(), "8 PCMA/8000/abc");
    a.setClockRate("16000");
    a.setPayloadType("97");
    EXPECT_STREQ(a.getText(), "97 PCMA/16000/abc");
    EXPECT_KV_THROW(a.setPayloadType("9x"), KvSdpParseError,
                    "RTP attribute payload type: Space not found or misplaced");
}

TEST(KvSdpRtpAttribute, TextReadAgainWithoutAChangeStaysValid) {
    // Longer than a text kept in place, so a rebuild would free the one read before.
    KvHandle<KvSdpRtpAttribute> r(new KvSdpRtpAttribute("97 telephone-event-long-name/8000"));
    r->setClockRate(16000);
    KvSdpAttributeField f("rtpmap", KvHandle<KvSdpAttribute>(r));
    const char* first = f.getValueText();
    EXPECT_EQ(f.getValueText(), first);
    EXPECT_STREQ(first, "97 telephone-event-long-name/16000");
    r->setClockRate(8000);
    EXPECT_STREQ(f.getValueText(), "97 telephone-event-long-name/8000");
    EXPECT_TRUE(r->isChanged());
}

TEST(KvSdpRtpAttribute, TextAndSerializeWriteNumbersAlike) {
    KvSdpRtpAttribute a("0 PCMU/8000");
    a.setPayloadType(INT32_MAX);
    a.setClockRate(INT32_MAX);
    EXPECT_EQ(std::string(a.getText()), kvSerialized(a));
    EXPECT_STREQ(a.getText(), "2147483647 PCMU/2147483647");
}

TEST(KvSdpRtpAttribute, SettersRefuseAPartTheParserWouldRefuseAndChangeNothing) {
    const char* space = "RTP attribute payload type: Space not found or misplaced";
    const char* slash = "RTP attribute encoding name: Slash not found or misplaced";
    KvSdpRtpAttribute a("0 PCMU/8000");
    EXPECT_KV_THROW(a.setEncodingName(""), KvSdpParseError, slash);
    EXPECT_KV_THROW(a.setEncodingName(nullptr), KvSdpParseError, slash);
    EXPECT_KV_THROW(a.setEncodingName("x/y"), KvSdpParseError, slash);
    EXPECT_KV_THROW(a.setPayloadType(-5), KvSdpParseError, space);
    EXPECT_KV_THROW(a.setClockRate(-1), KvSdpParseError, slash);
    EXPECT_FALSE(a.isChanged());
    EXPECT_EQ(kvSerialized(a), "0 PCMU/8000");

    // The bounds of what is read back stay settable, and read back as set.
    a.setPayloadType(INT32_MAX);
    a.setEncodingName("a b");
    a.setClockRate(0);
    a.setEncodingParametersText("a b/x");
    KvSdpRtpAttribute back(a.getText());
    EXPECT_EQ(back.getPayloadType(), INT32_MAX);
    EXPECT_STREQ(back.getEncodingName(), "a b");
    EXPECT_EQ(back.getClockRate(), 0);
    EXPECT_STREQ(back.getEncodingParametersText(), "a b/x");
}

} // namespace
