// Reads through the registries alone, from a source that includes no field or description class:
// with static linking every letter and token must still be registered.
#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvSdpDescription.h"
#include "KvSdpField.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string classOfField(const char* line) {
    KvByteArrayInputStream in(KvByteArray::sFromString(line));
    return KvSdpField::sConstructFrom(in)->getClassName();
}

TEST(KvSdpRegistration, EveryFieldLetter) {
    EXPECT_EQ(classOfField("v=0"), "KvSdpProtocolVersionField");
    EXPECT_EQ(classOfField("o=- 1 1 IN IP4 192.0.2.1"), "KvSdpOriginField");
    EXPECT_EQ(classOfField("s=x"), "KvSdpSessionNameField");
    EXPECT_EQ(classOfField("i=x"), "KvSdpInformationField");
    EXPECT_EQ(classOfField("u=x"), "KvSdpUriField");
    EXPECT_EQ(classOfField("e=x@example.com"), "KvSdpEmailField");
    EXPECT_EQ(classOfField("p=+1 555"), "KvSdpPhoneField");
    EXPECT_EQ(classOfField("c=IN IP4 192.0.2.1"), "KvSdpConnectionField");
    EXPECT_EQ(classOfField("b=AS:1"), "KvSdpBandwidthField");
    EXPECT_EQ(classOfField("t=0 0"), "KvSdpTimeField");
    EXPECT_EQ(classOfField("r=1 2 3"), "KvSdpRepeatField");
    EXPECT_EQ(classOfField("z=2882844526 0"), "KvSdpTimeZoneField");
    EXPECT_EQ(classOfField("k=prompt"), "KvSdpKeyField");
    EXPECT_EQ(classOfField("a=x"), "KvSdpAttributeField");
    EXPECT_EQ(classOfField("m=audio 1 RTP/AVP 0"), "KvSdpMediaField");
    EXPECT_EQ(classOfField("y=x"), "KvSdpUnusedField");
}

TEST(KvSdpRegistration, EveryDescriptionToken) {
    const struct {
        const char* text;
        const char* className;
    } cases[] = {{"v=0\r\n", "KvSdpSessionDescription"},
                 {"t=0 0\r\n", "KvSdpTimeDescription"},
                 {"m=audio 1 RTP/AVP 0\r\n", "KvSdpMediaDescription"}};
    for (const auto& c : cases) {
        KvByteArrayInputStream in(KvByteArray::sFromString(c.text));
        EXPECT_STREQ(KvSdpDescription::sConstructFrom(in)->getClassName(), c.className);
    }
}

} // namespace
