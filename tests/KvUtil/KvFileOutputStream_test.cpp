#include "KvException.h"
#include "KvFileOutputStream.h"
#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class KvFileOutputStreamTest : public testing::Test {
protected:
    void SetUp() override {
        dir = kvFreshDirectory(std::string("kv_fileout_") +
                               testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

bool isOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

std::string thrownText(void (*action)(const char*), const char* argument) {
    try {
        action(argument);
    } catch (KvHandle<KvException>& e) {
        return e->getText();
    }
    return "(nothing thrown)";
}

TEST_F(KvFileOutputStreamTest, OpeningAnExistingFileWritesFromItsStartWithoutTruncating) {
    fs::path log = dir / "Sip.log";
    std::ofstream(log) << "0123456789";
    {
        KvHandle<KvFileOutputStream> stream(new KvFileOutputStream(log.c_str()));
        *stream << "abc";
        stream->write("--XY--", 2, 2);
    }
    EXPECT_EQ(kvReadFile(log), "abcXY56789");
}

TEST_F(KvFileOutputStreamTest, CreatesAMissingFileForItsOwner) {
    fs::path file = dir / "new.log";
    {
        KvHandle<KvFileOutputStream> stream(new KvFileOutputStream(file.c_str()));
        *stream << "line " << 1 << endl;
        stream->write(static_cast<const void*>(nullptr), 5, 0);
    }
    EXPECT_EQ(kvReadFile(file), "line 1\n");
    auto permissions = fs::status(file).permissions();
    EXPECT_EQ(permissions & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    EXPECT_NE(permissions & fs::perms::owner_read, fs::perms::none);
    EXPECT_NE(permissions & fs::perms::owner_write, fs::perms::none);
}

TEST_F(KvFileOutputStreamTest, FailuresAreClear) {
    std::string missing = (dir / "no" / "such.log").string();
    EXPECT_EQ(
        thrownText([](const char* name) { KvFileOutputStream stream(name); }, missing.c_str()),
        missing);
    EXPECT_EQ(thrownText([](const char* name) { KvFileOutputStream stream(name); }, nullptr),
              "filename expected");
    EXPECT_EQ(thrownText(
                  [](const char* name) {
                      KvFileOutputStream stream(1);
                      stream.open(name);
                  },
                  nullptr),
              "filename expected");

    // A write that fails names the operation and carries the system's code.
    try {
        KvFileOutputStream stream(-1);
        stream << "x";
        FAIL() << "no exception";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "KvFileOutputStream::write");
        KvHandle<KvSystemError> error(e);
        EXPECT_EQ(error->getErrorCode(), static_cast<uint32_t>(EBADF));
    }
}

TEST_F(KvFileOutputStreamTest, OpenTruncatesAndClosesTheOwnedDescriptor) {
    fs::path first = dir / "first.log", second = dir / "second.log";
    std::ofstream(second) << "old content of the second file";
    KvHandle<KvFileOutputStream> stream(new KvFileOutputStream(first.c_str()));
    int firstFd = stream->getDescriptor();
    *stream << "one";
    stream->open(second.c_str());
    EXPECT_FALSE(isOpen(firstFd));
    *stream << "two";
    int secondFd = stream->getDescriptor();
    // An open that fails leaves the stream on its current file.
    std::string missing = (dir / "missing.log").string();
    try {
        stream->open(missing.c_str()); // open never creates
        FAIL() << "no exception";
    } catch (KvHandle<KvException>& e) {
        EXPECT_EQ(std::string(e->getText()), missing);
    }
    EXPECT_EQ(stream->getDescriptor(), secondFd);
    stream.release();
    EXPECT_FALSE(isOpen(secondFd));
    EXPECT_EQ(kvReadFile(first), "one");
    EXPECT_EQ(kvReadFile(second), "two");
}

TEST_F(KvFileOutputStreamTest, LargeWritesArriveWhole) {
    fs::path file = dir / "large.bin";
    std::string data(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31 + 7);
    {
        KvFileOutputStream stream(file.c_str());
        stream.write(data.data(), static_cast<uint32_t>(data.size()), 0);
    }
    EXPECT_EQ(kvReadFile(file), data);
}

} // namespace
