// The z and u field classes.
#include "KvSdp.h"

#include "KvSdpTestSupport.h"

namespace {

TEST(KvSdpTimeZoneField, TwoPairsRoundTrip) {
    KvTextInput in("z=2882844526 -1h 2898848070 0\r\nk=prompt\r\n");
    KvHandle<KvSdpField> field = KvSdpField::sConstructFrom(in);
    auto* z = static_cast<KvSdpTimeZoneField*>(field.get());
    ASSERT_EQ(z->getAdjustments().size(), 2u);
    EXPECT_STREQ(z->getAdjustments()[0].c_str(), "2882844526 -1h");
    EXPECT_STREQ(z->getAdjustments()[1].c_str(), "2898848070 0");
    EXPECT_EQ(kvSerialized(*z), "z=2882844526 -1h 2898848070 0\r\n");
    EXPECT_EQ(in.rest(), "k=prompt\r\n");
}

TEST(KvSdpTimeZoneField, EndOfTextEndsTheValue) {
    KvSdpTimeZoneField unit("2882844526 -1h");
    ASSERT_EQ(unit.getAdjustments().size(), 1u);
    EXPECT_STREQ(unit.getValueText().c_str(), "2882844526 -1h");
    KvSdpTimeZoneField plain("2882844526 3600");
    EXPECT_STREQ(plain.getValueText().c_str(), "2882844526 3600");
    KvSdpTimeZoneField lf("2882844526 -1h\n");
    EXPECT_EQ(kvSerialized(lf), "z=2882844526 -1h\r\n");
}

TEST(KvSdpTimeZoneField, OffsetIsRewrittenInDecimal) {
    EXPECT_EQ(kvSerialized(KvSdpTimeZoneField("2882844526 -01h")), "z=2882844526 -1h\r\n");
}

TEST(KvSdpTimeZoneField, ThreePairs) {
    KvSdpTimeZoneField z("2882844526 -1h 2898848070 0 2914572870 -25m");
    ASSERT_EQ(z.getAdjustments().size(), 3u);
    EXPECT_STREQ(z.getAdjustments()[0].c_str(), "2882844526 -1h");
    EXPECT_STREQ(z.getAdjustments()[1].c_str(), "2898848070 0");
    EXPECT_STREQ(z.getAdjustments()[2].c_str(), "2914572870 -25m");
}

TEST(KvSdpTimeZoneField, Errors) {
    const char* invalid = "KvSdpTimeField::Invalid Time Zone Field";
    EXPECT_KV_THROW(KvSdpTimeZoneField("288284452 -1h"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeZoneField("0882844526 -1h"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeZoneField("2882844526-1h"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeZoneField("2882844526 -1hx"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeZoneField("2882844526 99999999999"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpTimeZoneField((std::string(600, '1') + " 0").c_str()), KvException,
                    invalid);
    EXPECT_KV_THROW(KvSdpTimeZoneField("2882844526 -1x"), KvException,
                    "KvSdpTimeField::Invalid Time Zone Field 1");
    EXPECT_KV_THROW(KvSdpTimeZoneField("2882844526 -h"), KvException, "unsigned number expected");
    EXPECT_KV_THROW(KvSdpTimeZoneField(""), KvException,
                    "KvSdpTimeZoneField::parse() Incomplete Time Zone Field");
    KvSdpTimeZoneField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "No time zone elements in KvSdpTimeZoneField::serialize()");
}

TEST(KvSdpTimeZoneField, OffsetDoesNotReadIntoTheNextLine) {
    KvTextInput in("z=2882844526 \r\n1234567890 0\r\n");
    EXPECT_THROW(KvSdpField::sConstructFrom(in), KvHandle<KvException>);
    KvTextInput sign("z=2882844526 -\r\n5\r\n");
    EXPECT_KV_THROW(KvSdpField::sConstructFrom(sign), KvException, "unsigned number expected");
}

TEST(KvSdpTimeZoneField, SetValueSplitsAtEverySecondSpace) {
    KvSdpTimeZoneField z;
    z.setValue("1 a 2 b 3\r\nrest");
    ASSERT_EQ(z.getAdjustments().size(), 3u);
    EXPECT_STREQ(z.getAdjustments()[2].c_str(), "3");
    z.setValue(nullptr);
    EXPECT_EQ(z.getAdjustments().size(), 3u);
}

TEST(KvSdpUriField, KeepsTheWholeLine) {
    KvTextInput in("u=http://www.example.com/seminars/sdp.pdf  with spaces\r\n");
    KvHandle<KvSdpField> u = KvSdpField::sConstructFrom(in);
    EXPECT_STREQ(static_cast<KvSdpUriField*>(u.get())->getUri(),
                 "http://www.example.com/seminars/sdp.pdf  with spaces");
    EXPECT_EQ(kvSerialized(*u), "u=http://www.example.com/seminars/sdp.pdf  with spaces\r\n");
    EXPECT_EQ(kvSerialized(KvSdpUriField("http://x")), "u=http://x\r\n");
}

TEST(KvSdpUriField, Errors) {
    const char* incomplete = "KvSdpUriField::serialize() Incomplete URI Field";
    KvTextInput in("u=\r\n");
    EXPECT_KV_THROW(KvSdpField::sConstructFrom(in), KvException, incomplete);
    EXPECT_KV_THROW(KvSdpUriField(""), KvSdpParseError,
                    "Attempting to create KvSdpUriField with empty string");
    EXPECT_KV_THROW(KvSdpUriField(nullptr), KvSdpParseError,
                    "Attempting to create KvSdpUriField with empty string");
    KvSdpUriField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException, incomplete);
}

} // namespace
