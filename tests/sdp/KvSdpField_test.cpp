#include "KvSdp.h"

#include "KvSdpTestSupport.h"

#include <cstring>

namespace {

KvHandle<KvSdpField> readField(KvTextInput& in) {
    return KvSdpField::sConstructFrom(in);
}

KvHandle<KvSdpField> readField(const std::string& text) {
    KvTextInput in(text);
    return KvSdpField::sConstructFrom(in);
}

TEST(KvSdpFieldRegistry, EveryLetterBuildsItsClass) {
    const struct {
        const char* line;
        const char* className;
    } cases[] = {
        {"v=0", "KvSdpProtocolVersionField"},
        {"o=- 1 1 IN IP4 192.0.2.1", "KvSdpOriginField"},
        {"s=Talk", "KvSdpSessionNameField"},
        {"i=About", "KvSdpInformationField"},
        {"u=http://www.example.com/seminars/sdp.pdf", "KvSdpUriField"},
        {"e=j.doe@example.com", "KvSdpEmailField"},
        {"p=+1 617 555-6011", "KvSdpPhoneField"},
        {"c=IN IP4 192.0.2.1", "KvSdpConnectionField"},
        {"b=AS:64", "KvSdpBandwidthField"},
        {"t=0 0", "KvSdpTimeField"},
        {"r=604800 3600 0 90000", "KvSdpRepeatField"},
        {"z=2882844526 -1h 2898848070 0", "KvSdpTimeZoneField"},
        {"k=prompt", "KvSdpKeyField"},
        {"a=recvonly", "KvSdpAttributeField"},
        {"m=audio 49170 RTP/AVP 0", "KvSdpMediaField"},
    };
    for (const auto& c : cases) {
        KvHandle<KvSdpField> field = readField(c.line);
        ASSERT_FALSE(field.isNull()) << c.line;
        EXPECT_STREQ(field->getClassName(), c.className) << c.line;
        EXPECT_EQ(std::string(field->getType()), std::string(c.line, 1));
        EXPECT_EQ(kvSerialized(*field), std::string(c.line) + "\r\n");
    }
}

TEST(KvSdpFieldRegistry, FirstRegistrationWins) {
    KvSdpField::sRegister("m", []() -> KvSdpField* { return new KvSdpUnusedField("m"); });
    EXPECT_STREQ(readField("m=audio 1 RTP/AVP 0")->getClassName(), "KvSdpMediaField");
}

TEST(KvSdpUnusedField, KeepsTokenAndValue) {
    KvHandle<KvSdpField> field = readField("x=anything at all\r\n");
    EXPECT_STREQ(field->getClassName(), "KvSdpUnusedField");
    EXPECT_STREQ(field->getType(), "x");
    EXPECT_EQ(kvSerialized(*field), "x=anything at all\r\n");

    field = readField("abcd=four");
    EXPECT_STREQ(field->getType(), "abcd");
    EXPECT_EQ(kvSerialized(*field), "abcd=four\r\n");
}

TEST(KvSdpUnusedField, EmptyValueDoesNotTakeTheNextLine) {
    KvTextInput in("x=\r\ns=next\r\n");
    KvHandle<KvSdpField> field = readField(in);
    EXPECT_EQ(kvSerialized(*field), "x=\r\n");
    EXPECT_EQ(kvSerialized(*readField(in)), "s=next\r\n");
}

TEST(KvSdpField, TokenErrors) {
    const char* message = "Invalid format generic SDP field in KvSdpField::sConstructFrom()";
    EXPECT_KV_THROW(readField("abcde=five"), KvException, message);
    // A line without "=" is refused rather than read together with the next one.
    EXPECT_KV_THROW(readField("a\r\nc=IN IP4 192.0.2.1\r\n"), KvException, message);
    EXPECT_KV_THROW(readField("vx"), KvException, message);
    // A NUL in the token would file the line under the letter before it.
    EXPECT_KV_THROW(readField(std::string("s\0o=x\r\n", 7)), KvException, message);
}

TEST(KvSdpField, CarriageReturnWithoutNewline) {
    EXPECT_KV_THROW(readField("x=abc\rdef"), KvException, "carriage return without newline");
}

TEST(KvSdpField, BlankLinesAndLeadingWhitespaceAreSkipped) {
    KvTextInput in("\r\n\r\n  \t s=name\r\n\n  i=info\n");
    EXPECT_EQ(kvSerialized(*readField(in)), "s=name\r\n");
    EXPECT_EQ(kvSerialized(*readField(in)), "i=info\r\n");
    // At the end of the stream: an empty unused field.
    KvHandle<KvSdpField> end = readField(in);
    EXPECT_STREQ(end->getClassName(), "KvSdpUnusedField");
    EXPECT_STREQ(end->getType(), "");
}

TEST(KvSdpField, ChainKeepsOrderOfAppending) {
    KvHandle<KvSdpField> first(new KvSdpAttributeField("a1", "1"));
    KvHandle<KvSdpField> second(new KvSdpAttributeField("a2", "2"));
    KvHandle<KvSdpField> third(new KvSdpAttributeField("a3", "3"));
    first->append(second);
    first->append(third);
    first->append(KvHandle<KvSdpField>()); // ignored
    std::string names;
    for (KvHandle<KvSdpField> f = first; !f.isNull(); f = f->getNext())
        names += static_cast<KvSdpAttributeField*>(f.get())->getName();
    EXPECT_EQ(names, "a1a2a3");
}

TEST(KvSdpField, AppendingAFieldAlreadyInTheChainMakesNoCycle) {
    KvHandle<KvSdpField> first(new KvSdpAttributeField("a1", "1"));
    KvHandle<KvSdpField> second(new KvSdpAttributeField("a2", "2"));
    first->append(second);
    first->append(second);
    first->append(first);
    second->append(first);
    int count = 0;
    for (KvHandle<KvSdpField> f = first; !f.isNull() && count < 10; f = f->getNext())
        ++count;
    EXPECT_EQ(count, 2);
}

TEST(KvSdpField, LongChainIsReleasedWithoutRecursion) {
    KvHandle<KvSdpField> first(new KvSdpAttributeField("x", "y"));
    KvSdpField* last = first.get();
    for (int i = 0; i < 300000; ++i)
        last = KvSdpField::sAppend(last, KvHandle<KvSdpField>(new KvSdpAttributeField("x", "y")));
    KvHandle<KvSdpField> middle = first;
    for (int i = 0; i < 1000; ++i)
        middle = middle->getNext();
    first = KvHandle<KvSdpField>(); // frees the first 1000; the rest is still held by `middle`
    int count = 0;
    for (KvSdpField* f = middle.get(); f; f = f->getNext().get())
        ++count;
    EXPECT_EQ(count, 300001 - 1000);
    middle = KvHandle<KvSdpField>();
}

} // namespace
