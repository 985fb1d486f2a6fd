// The v, o, s, i, e, p and k field classes.
#include "KvSdp.h"

#include "KvSdpTestSupport.h"

namespace {

KvHandle<KvSdpField> readField(KvTextInput& in) {
    return KvSdpField::sConstructFrom(in);
}

TEST(KvSdpProtocolVersionField, DigitsOnly) {
    KvSdpProtocolVersionField v("0");
    EXPECT_STREQ(v.getVersion(), "0");
    EXPECT_EQ(kvSerialized(v), "v=0\r\n");
    EXPECT_KV_THROW(KvSdpProtocolVersionField("0a"), KvSdpParseError,
                    "KvSdpProtocolVersionField::parse()Invalid character in Sdp Protocol Version "
                    "Field");
    // Empty: held, refused when written.
    KvTextInput in("v=\r\no=- 1 1 IN IP4 192.0.2.1\r\n");
    KvHandle<KvSdpField> empty = readField(in);
    EXPECT_STREQ(static_cast<KvSdpProtocolVersionField*>(empty.get())->getVersion(), "");
    EXPECT_KV_THROW(kvSerialized(*empty), KvException,
                    "KvSdpProtocolVersionField::serialize() Incomplete Protocol Version Field");
    EXPECT_STREQ(readField(in)->getType(), "o");
}

TEST(KvSdpOriginField, SixValues) {
    KvSdpOriginField o("jdoe 2890844526 2890842807 IN IP4 10.47.16.5");
    EXPECT_STREQ(o.getUserName(), "jdoe");
    EXPECT_STREQ(o.getSessionId(), "2890844526");
    EXPECT_STREQ(o.getVersion(), "2890842807");
    EXPECT_STREQ(o.getNetworkType(), "IN");
    EXPECT_STREQ(o.getAddressType(), "IP4");
    EXPECT_STREQ(o.getAddress(), "10.47.16.5");
    EXPECT_EQ(kvSerialized(o), "o=jdoe 2890844526 2890842807 IN IP4 10.47.16.5\r\n");
}

TEST(KvSdpOriginField, ExactlySixValuesOnTheLine) {
    const char* message = "KvSdpOriginField::serialize() Incomplete Origin Field";
    KvTextInput in("o=jdoe 2890844526 2890842807 IN IP4\r\ns=SDP Seminar\r\n");
    EXPECT_KV_THROW(readField(in), KvException, message);
    EXPECT_NE(in.rest().find("s=SDP Seminar"), std::string::npos);
    EXPECT_KV_THROW(KvSdpOriginField(""), KvException, message);
    // Nor is a seventh value read as a line of its own.
    EXPECT_KV_THROW(KvSdpOriginField("jdoe 1 1 IN IP4 10.47.16.5 a=sendonly"), KvException,
                    message);
    KvSdpOriginField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException, message);
}

TEST(KvSdpSessionNameField, EmptyLineHoldsEmpty) {
    KvTextInput in("s=\r\ni=info\r\n");
    KvHandle<KvSdpField> s = readField(in);
    EXPECT_STREQ(static_cast<KvSdpSessionNameField*>(s.get())->getValue(), "empty");
    EXPECT_EQ(kvSerialized(*readField(in)), "i=info\r\n");
    KvTextInput spaces("s= \r\n");
    EXPECT_EQ(kvSerialized(*readField(spaces)), "s=empty\r\n");

    // The text constructor stores the text as it is.
    EXPECT_EQ(kvSerialized(KvSdpSessionNameField("SDP Seminar")), "s=SDP Seminar\r\n");
    EXPECT_KV_THROW(KvSdpSessionNameField(""), KvSdpParseError,
                    "Attempting to create KvSdpSessionNameField with blank string");
    KvSdpSessionNameField unset;
    EXPECT_KV_THROW(kvSerialized(unset), KvException,
                    "KvSdpSessionNameField::serialize() Incomplete Session Name Field");
}

// A caller's text becomes one line: a line break in it would write lines of its own.
TEST(KvSdpTextFields, ValuesWithALineBreakAreRefused) {
    EXPECT_KV_THROW(KvSdpInformationField("a\r\nm=video 1 RTP/AVP 31"), KvSdpParseError,
                    "Attempting to create KvSdpInformationField with a line break");
    EXPECT_KV_THROW(KvSdpSessionNameField("a\n"), KvSdpParseError,
                    "Attempting to create KvSdpSessionNameField with a line break");
    EXPECT_KV_THROW(KvSdpUriField("http://x\r"), KvSdpParseError,
                    "Attempting to create KvSdpUriField with a line break");
}

TEST(KvSdpInformationField, EmptyLineIsRefused) {
    KvTextInput in("i=\r\n");
    EXPECT_KV_THROW(readField(in), KvException,
                    "KvSdpInformationField::parse() Empty Information Field");
    KvTextInput spaces("i=A Seminar on the session description protocol\r\n");
    EXPECT_EQ(kvSerialized(*readField(spaces)),
              "i=A Seminar on the session description protocol\r\n");
    EXPECT_KV_THROW(KvSdpInformationField(""), KvSdpParseError,
                    "Attempting to create KvSdpInformationField with blank string");
    KvSdpInformationField unset;
    EXPECT_KV_THROW(kvSerialized(unset), KvException,
                    "KvSdpInformationField::serialize() Incomplete Information Field");
}

TEST(KvSdpEmailField, ThreeForms) {
    KvSdpEmailField bare("j.doe@example.com");
    EXPECT_EQ(bare.getForm(), 0);
    EXPECT_EQ(kvSerialized(bare), "e=j.doe@example.com\r\n");

    KvSdpEmailField comment("j.doe@example.com (Jane Doe)");
    EXPECT_EQ(comment.getForm(), 2);
    EXPECT_STREQ(comment.getAddress(), "j.doe@example.com");
    EXPECT_STREQ(comment.getDisplayName(), "Jane Doe");
    EXPECT_EQ(kvSerialized(comment), "e=j.doe@example.com (Jane Doe)\r\n");

    KvSdpEmailField named("  Jane Doe <j.doe@example.com>  ");
    EXPECT_EQ(named.getForm(), 1);
    EXPECT_STREQ(named.getAddress(), "j.doe@example.com");
    EXPECT_STREQ(named.getDisplayName(), "Jane Doe");
    EXPECT_EQ(kvSerialized(named), "e=Jane Doe <j.doe@example.com>\r\n");

    // No separating space: the address keeps its last character.
    EXPECT_STREQ(KvSdpEmailField("j.doe@example.com(Jane)").getAddress(), "j.doe@example.com");
}

TEST(KvSdpEmailField, BracketAtTheStart) {
    const char* blank = "Parsing Error(blank EmailId) in KvSdpEmailField::parse()";
    EXPECT_KV_THROW(KvSdpEmailField("(Jane Doe)"), KvException, blank);
    KvSdpEmailField named("<j.doe@example.com>");
    EXPECT_STREQ(named.getAddress(), "j.doe@example.com");
    EXPECT_STREQ(named.getDisplayName(), "");
    EXPECT_KV_THROW(KvSdpEmailField("<>"), KvException, blank);
    // A bracket without its closing partner runs to the end of the text.
    EXPECT_STREQ(KvSdpEmailField("Jane <j.doe@example.com").getAddress(), "j.doe@example.com");
}

TEST(KvSdpEmailField, Errors) {
    EXPECT_KV_THROW(KvSdpEmailField(""), KvException,
                    "KvSdpEmailField::serialize() Incomplete Email Field");
    EXPECT_KV_THROW(KvSdpEmailField("", "Jane"), KvSdpParseError,
                    "Attempting to create Email Field with blank E-mail ID");
    KvSdpEmailField typed("j.doe@example.com", "Jane");
    EXPECT_EQ(typed.getForm(), 0);
    EXPECT_EQ(kvSerialized(typed), "e=j.doe@example.com\r\n");
    typed.setForm(7);
    EXPECT_KV_THROW(kvSerialized(typed), KvException,
                    "Unknown error in KvSdpEmailField::serialize()");
    KvSdpEmailField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "KvSdpEmailField::serialize() Incomplete Email Field");
}

TEST(KvSdpPhoneField, Numbers) {
    KvSdpPhoneField p("+1 617 555-6011");
    EXPECT_STREQ(p.getAddress(), "+1 617 555-6011");
    EXPECT_EQ(kvSerialized(p), "p=+1 617 555-6011\r\n");
    KvSdpPhoneField named("+44 20 7946 0000 (Office)");
    EXPECT_EQ(named.getForm(), 2);
    EXPECT_STREQ(named.getAddress(), "+44 20 7946 0000");
    EXPECT_EQ(kvSerialized(named), "p=+44 20 7946 0000 (Office)\r\n");
    KvSdpPhoneField angle("Office <+44 20 7946 0000>");
    EXPECT_EQ(kvSerialized(angle), "p=Office <+44 20 7946 0000>\r\n");

    const char* invalid = "Invalid character in Phone Number - KvSdpPhoneField::parse()";
    EXPECT_KV_THROW(KvSdpPhoneField("1 617 555 6011"), KvSdpParseError, invalid);
    EXPECT_KV_THROW(KvSdpPhoneField("+1 617 555-"), KvSdpParseError, invalid);
    EXPECT_KV_THROW(KvSdpPhoneField("+1  617"), KvSdpParseError, invalid);
    EXPECT_KV_THROW(KvSdpPhoneField("+1 617x"), KvSdpParseError, invalid);
}

TEST(KvSdpPhoneField, EmptyLineDoesNotTakeTheNextLine) {
    const char* blank = "Parsing Error(blank PhoneNumber) in KvSdpPhoneField::parse()";
    KvTextInput in("p=\r\nc=IN IP4 192.0.2.1\r\n");
    EXPECT_KV_THROW(readField(in), KvSdpParseError, blank);
    EXPECT_EQ(in.rest(), "c=IN IP4 192.0.2.1\r\n");
    EXPECT_KV_THROW(KvSdpPhoneField("(Office)"), KvSdpParseError, blank);
    EXPECT_KV_THROW(KvSdpPhoneField("", "x"), KvSdpParseError,
                    "Attempting to create Phone Field with blank phone number");
    KvSdpPhoneField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "KvSdpPhoneField::serialize() Incomplete Phone Field");
    KvSdpPhoneField odd("+1", "x");
    odd.setForm(-1);
    EXPECT_KV_THROW(kvSerialized(odd), KvException,
                    "Unknown error in KvSdpPhoneField::serialize()");
}

TEST(KvSdpKeyField, Methods) {
    EXPECT_EQ(kvSerialized(KvSdpKeyField("prompt")), "k=prompt\r\n");
    KvSdpKeyField clear("clear:secret:with:colons");
    EXPECT_STREQ(clear.getMethod(), "clear");
    EXPECT_STREQ(clear.getKey(), "secret:with:colons");
    EXPECT_EQ(kvSerialized(clear), "k=clear:secret:with:colons\r\n");
    EXPECT_STREQ(KvSdpKeyField("base64:c2VjcmV0").getKey(), "c2VjcmV0");
    KvSdpKeyField http("http://example.com/key");
    EXPECT_STREQ(http.getMethod(), "http://example.com/key");
    EXPECT_EQ(kvSerialized(http), "k=http://example.com/key\r\n");

    const char* invalid = "KvSdpKeyField::parse() Invalid Key Field";
    EXPECT_KV_THROW(KvSdpKeyField("uri:http://example.com/key"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpKeyField("prompted"), KvException, invalid);
    EXPECT_KV_THROW(KvSdpKeyField(""), KvException, "KvSdpKeyField::parse() Incomplete Key Field");
    KvSdpKeyField empty;
    EXPECT_KV_THROW(kvSerialized(empty), KvException,
                    "KvSdpKeyField::serialize() Incomplete Key Field");
}

} // namespace
