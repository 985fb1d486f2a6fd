#include "KvException.h"
#include "KvPlatformSync.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>

TEST(KvException, ThrowsCountedHandles) {
    try {
        KvException::sThrow(nullptr);
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "Unknown Exception");
        EXPECT_EQ(e->getRefCount(), 1);
    }
    try {
        KV_ASSERT(1 + 1 == 3, "arithmetic");
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "arithmetic");
        std::string printed = kvPrinted(e.get());
        EXPECT_EQ(printed.rfind("!! Exception !!\n", 0), 0u);
        EXPECT_NE(printed.find("KvException_test.cpp line "), std::string::npos);
        EXPECT_NE(printed.find("\nCompilation : "), std::string::npos);
        EXPECT_EQ(printed.back(), '\n');
    }
}

TEST(KvException, PrintLayout) {
    KvHandle<KvException> e(new KvException("boom"));
    std::string printed = kvPrinted(e.get());
    EXPECT_EQ(printed.rfind("!! Exception !!\n1 \t(", 0), 0u);
    EXPECT_NE(printed.find(")\tKvException\nboom"), std::string::npos);
}

TEST(KvSocketError, PrintsTableTextOrSystemText) {
    KvHandle<KvException> refused(new KvSocketError("connect", 10061));
    std::string printed = kvPrinted(refused.get());
    EXPECT_NE(printed.find("connect: Connection refused. (10061)"), std::string::npos);
    EXPECT_EQ(KvSocketError::sErrorText(10010), nullptr);
    KvHandle<KvException> unknown(new KvSocketError("x", 10010));
    std::string system = ": " + kvSystemErrorText(10010) + " (10010)";
    EXPECT_NE(kvPrinted(unknown.get()).find(system), std::string::npos);
    EXPECT_STREQ(KvSocketError::sErrorText(11001), "Host not found.");
}

TEST(KvSystemError, CodeZeroTakesTheLastError) {
    int fd = ::open("/nonexistent/dir/file", O_RDONLY);
    ASSERT_LT(fd, 0);
    try {
        KvSystemError::sThrow("open", 0);
    } catch (KvHandle<KvException>& e) {
        auto* system = dynamic_cast<KvSystemError*>(e.get());
        ASSERT_NE(system, nullptr);
        EXPECT_EQ(system->getErrorCode(), static_cast<uint32_t>(ENOENT));
        EXPECT_NE(kvPrinted(e.get()).find("No such file or directory (2)"), std::string::npos);
    }
}
