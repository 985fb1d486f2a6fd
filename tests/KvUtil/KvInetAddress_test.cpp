#include "KvException.h"
#include "KvInetAddress.h"

#include "KvSocketTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t dotted(const char* text) {
    return kvInetAddr(text);
}

std::string machineHostName() {
    char name[256] = {};
    kvGetMachineHostName(name, sizeof name);
    return name;
}

// Restores the machine's host name as the local host when a test ends.
struct LocalHostScope {
    ~LocalHostScope() { KvInetAddress::setLocalHost(""); }
};

TEST(KvInetAddress, DottedTextAndBack) {
    EXPECT_EQ(KvInetAddress().getAddress(), 0u);
    KvInetAddress address("192.0.2.17");
    EXPECT_EQ(address.getAddress(), dotted("192.0.2.17"));
    EXPECT_STREQ(address.getHostAddress(), "192.0.2.17");
    EXPECT_EQ(address, KvInetAddress::sFromAddress(dotted("192.0.2.17")));
    EXPECT_NE(address, KvInetAddress("192.0.2.18"));
    // The all-ones text is no dotted address to inet_addr, so it is looked up, and still found.
    EXPECT_EQ(KvInetAddress("255.255.255.255").getAddress(), 0xFFFFFFFFu);
}

TEST(KvInetAddress, LoopbackAliasesStandForTheLocalHost) {
    LocalHostScope scope;
    KvInetAddress machine(machineHostName().c_str());
    EXPECT_EQ(KvInetAddress("localhost"), machine);
    EXPECT_EQ(KvInetAddress("127.0.0.1"), machine);
    EXPECT_EQ(KvInetAddress::getLocalHost(), machine);

    ASSERT_TRUE(KvInetAddress::setLocalHost("192.0.2.5"));
    EXPECT_EQ(KvInetAddress("localhost").getAddress(), dotted("192.0.2.5"));
    EXPECT_EQ(KvInetAddress("127.0.0.1").getAddress(), dotted("192.0.2.5"));
    // Only the exact texts are aliases: "LOCALHOST" is a name to look up.
    EXPECT_EQ(KvInetAddress("LOCALHOST").getAddress(), dotted("127.0.0.1"));

    // An alias as the local-host text resolves as it stands instead of looping.
    ASSERT_TRUE(KvInetAddress::setLocalHost("localhost"));
    EXPECT_EQ(KvInetAddress("localhost").getAddress(), dotted("127.0.0.1"));
    ASSERT_TRUE(KvInetAddress::setLocalHost("127.0.0.1"));
    EXPECT_EQ(KvInetAddress("127.0.0.1").getAddress(), dotted("127.0.0.1"));

    ASSERT_TRUE(KvInetAddress::setLocalHost(""));
    EXPECT_EQ(KvInetAddress::getLocalHost(), machine);
}

TEST(KvInetAddress, LongLocalHostTextIsRefused) {
    LocalHostScope scope;
    kvsock::LogCapture log;
    ASSERT_TRUE(KvInetAddress::setLocalHost("192.0.2.123")); // 11 characters
    std::string longest(KvInetAddress::kMaxLocalHostLength, '1');
    EXPECT_FALSE(KvInetAddress::setLocalHost((longest + "1").c_str()));
    EXPECT_TRUE(log.contains("local host text longer than 19 characters refused"));
    EXPECT_EQ(KvInetAddress::getLocalHost().getAddress(), dotted("192.0.2.123"));
    EXPECT_TRUE(KvInetAddress::setLocalHost("255.255.255.255")); // 15 fit
}

TEST(KvInetAddress, FailuresThrowSocketErrors) {
    std::string tooLong(5000, 'a');
    try {
        KvInetAddress address(tooLong.c_str());
        FAIL() << "a host text longer than the message buffer";
    } catch (KvHandle<KvException>& e) {
        auto* error = dynamic_cast<KvSocketError*>(e.get());
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->getErrorCode(), 10063u);
        std::string text = e->getText();
        EXPECT_EQ(text.rfind("KvInetAddress::KvInetAddress() - gethostbyname(aaaa", 0), 0u);
        EXPECT_LT(text.size(), 1024u);
    }
    try {
        KvInetAddress address("");
        FAIL() << "an empty host text";
    } catch (KvHandle<KvException>& e) {
        auto* error = dynamic_cast<KvSocketError*>(e.get());
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->getErrorCode(), 11001u);
        EXPECT_STREQ(e->getText(), "KvInetAddress::KvInetAddress() - gethostbyname()");
    }
}

TEST(KvInetAddress, ReverseLookupOfLoopback) {
    KvString name = kvsock::loopback().getHostName();
    EXPECT_FALSE(name.isEmpty());
}

} // namespace
