#include "KvSdpParseError.h"

#include "KvSdpTestSupport.h"

namespace {

TEST(KvSdpParseError, ThrownAsStackExceptionHandle) {
    EXPECT_KV_THROW(KvSdpParseError::sThrow("SDP Message does not begin with 'v'"), KvSdpParseError,
                    "SDP Message does not begin with 'v'");
}

TEST(KvSdpParseError, NullMessageStaysEmpty) {
    try {
        KvSdpParseError::sThrow(nullptr);
    } catch (KvHandle<KvException>& e) {
        EXPECT_TRUE(e->getMessage().isEmpty());
        return;
    }
    FAIL() << "no exception";
}

TEST(KvSdpParseError, PrintsInTheExceptionForm) {
    try {
        KvSdpParseError::sThrow("Unknown token for Description");
    } catch (KvHandle<KvException>& e) {
        KvStringOutputStream out;
        e->print(out);
        EXPECT_EQ(out.text.rfind("!! Exception !!\n", 0), 0u) << out.text;
        EXPECT_NE(out.text.find("KvSdpParseError"), std::string::npos) << out.text;
        const std::string tail = "\nUnknown token for Description";
        ASSERT_GE(out.text.size(), tail.size());
        EXPECT_EQ(out.text.substr(out.text.size() - tail.size()), tail);
        return;
    }
    FAIL() << "no exception";
}

TEST(KvSdpParseError, HandleKeepsTheOnlyReference) {
    KvHandle<KvException> kept;
    try {
        KvSdpParseError::sThrow("x");
    } catch (KvHandle<KvException>& e) {
        kept = e;
        EXPECT_EQ(e->getRefCount(), 2);
    }
    ASSERT_FALSE(kept.isNull());
    EXPECT_EQ(kept->getRefCount(), 1); // released once by the catch; freed once with `kept`
}

} // namespace
