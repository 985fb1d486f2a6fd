// The sample messages under examples/messages, which the README sends new users to.
#include "KvSipAuthorizationHeader.h"
#include "KvSipDigestCredentialsInfo.h"
#include "support/KvSipTestSupport.h"
#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

KvHandle<KvSipMessage> exampleMessage(const char* name) {
    return kvParseMessage(
        kvReadNeededFile(std::filesystem::path(KV_SOURCE_DIR) / "examples/messages" / name));
}

} // namespace

TEST(KvSipExampleMessages, EachParsesValid) {
    for (const char* name : {"invite.sip", "ok200.sip", "register.sip", "bye.sip"}) {
        KvHandle<KvSipMessage> message = exampleMessage(name);
        ASSERT_FALSE(message.isNull()) << name;
        EXPECT_TRUE(message->isValid()) << name;
    }
}

TEST(KvSipExampleMessages, RegisterCredentialsVerifyWithTheDocumentedPassword) {
    KvHandle<KvSipMessage> message = exampleMessage("register.sip");
    auto* authorization =
        kvAs<KvSipAuthorizationHeader>(message->getHeader(KV_HEADER_AUTHORIZATION));
    ASSERT_NE(authorization, nullptr);
    KvHandle<KvSipCredentialsInfo> credentials = authorization->getCredentials();
    ASSERT_FALSE(credentials.isNull());
    auto* digest = dynamic_cast<KvSipDigestCredentialsInfo*>(credentials.get());
    ASSERT_NE(digest, nullptr);
    digest->setMethod("REGISTER");
    EXPECT_TRUE(digest->verify("carol", "secret", "example.com"));
    EXPECT_FALSE(digest->verify("carol", "Secret", "example.com"));
}
