#include "KvException.h"
#include "KvFileInputStream.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class KvFileInputStreamTest : public testing::Test {
protected:
    void SetUp() override {
        dir = kvFreshDirectory(std::string("kv_filein_") +
                               testing::UnitTest::GetInstance()->current_test_info()->name());
        file = dir / "input.txt";
        std::ofstream(file) << "0123456789";
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir, file;
};

bool isOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

struct Recorder : KvObserver {
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override {
        ++updates;
        lastSource = source.get();
        nullArgument = argument.isNull();
    }
    int updates = 0;
    KvObject* lastSource = nullptr;
    bool nullArgument = false;
};

TEST_F(KvFileInputStreamTest, ReadsBytesAndReportsTheEnd) {
    KvHandle<KvFileInputStream> stream(new KvFileInputStream(file.c_str()));
    EXPECT_EQ(stream->read(), '0');
    char buffer[16] = {};
    EXPECT_EQ(stream->read(buffer, 4, 2), 4);
    EXPECT_EQ(std::string(buffer + 2, 4), "1234");
    EXPECT_EQ(stream->read(buffer, 16, 0), 5); // what the system read gave
    EXPECT_EQ(std::string(buffer, 5), "56789");
    EXPECT_EQ(stream->read(buffer, 16, 0), -1);
    EXPECT_EQ(stream->read(), -1);
    EXPECT_EQ(stream->read(buffer, 0, 0), 0);
    EXPECT_EQ(stream->available(), 0);
}

TEST_F(KvFileInputStreamTest, MarkResetAndSkipOnAFile) {
    KvHandle<KvFileInputStream> stream(new KvFileInputStream(file.c_str()));
    ASSERT_TRUE(stream->markSupported());
    EXPECT_EQ(stream->skip(3), 3);
    stream->mark(-1);
    EXPECT_EQ(stream->read(), '3');
    EXPECT_EQ(stream->read(), '4');
    stream->reset();
    EXPECT_EQ(stream->read(), '3');
    stream->reset(); // no mark pending: nothing happens
    EXPECT_EQ(stream->read(), '4');
    EXPECT_EQ(stream->skip(0), 0);
    EXPECT_EQ(stream->skip(-4), 0);
    EXPECT_EQ(stream->read(), '5');
}

TEST_F(KvFileInputStreamTest, PipesHaveNoMarks) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abcdef", 6), 6);
    ::close(fds[1]);
    {
        KvHandle<KvFileInputStream> stream(new KvFileInputStream(fds[0]));
        EXPECT_FALSE(stream->markSupported());
        stream->mark(10);
        EXPECT_EQ(stream->read(), 'a');
        stream->reset();
        EXPECT_EQ(stream->read(), 'b');
        EXPECT_EQ(stream->skip(2), 2); // read and dropped
        EXPECT_EQ(stream->read(), 'e');
        EXPECT_EQ(stream->skip(100), 1);
        EXPECT_EQ(kvThrownText([&] { stream->block(); }),
                  "KvFileInputStream::block implementation pending");
    }
    // Wrapped descriptors are not the stream's to close. (Left open: closeAll may close it.)
    EXPECT_TRUE(isOpen(fds[0]));
}

TEST_F(KvFileInputStreamTest, BlockNotifiesTheObserver) {
    KvHandle<KvFileInputStream> stream(new KvFileInputStream(file.c_str()));
    KvHandle<Recorder> recorder(new Recorder);
    stream->attachObserver(recorder);
    EXPECT_TRUE(stream->block());
    EXPECT_EQ(recorder->updates, 1);
    EXPECT_EQ(recorder->lastSource, stream.get());
    EXPECT_TRUE(recorder->nullArgument);
    stream->detachObserver(recorder.get());
}

TEST_F(KvFileInputStreamTest, FailuresAreClear) {
    std::string missing = (dir / "missing.txt").string();
    EXPECT_EQ(kvThrownText([&] { KvFileInputStream stream(missing.c_str()); }), missing);
    EXPECT_EQ(kvThrownText([] { KvFileInputStream stream(nullptr); }), "filename expected");
    // A descriptor that is not open: every operation names itself.
    int fd = ::open(file.c_str(), O_RDONLY);
    KvFileInputStream stream(fd);
    ::close(fd);
    char buffer[4];
    EXPECT_EQ(kvThrownText([&] { stream.read(); }), "KvFileInputStream::read");
    EXPECT_EQ(kvThrownText([&] { stream.read(buffer, 4, 0); }), "KvFileInputStream::read");
    EXPECT_EQ(kvThrownText([&] { stream.skip(1); }), "KvFileInputStream::skip");
    EXPECT_EQ(kvThrownText([&] { stream.mark(0); }), "KvFileInputStream::mark");
}

TEST_F(KvFileInputStreamTest, OwnedDescriptorsCloseWithTheStream) {
    int fd;
    {
        KvFileInputStream stream(file.c_str());
        fd = stream.getDescriptor();
        EXPECT_TRUE(isOpen(fd));
    }
    EXPECT_FALSE(isOpen(fd));
}

TEST_F(KvFileInputStreamTest, CloseAllClosesEveryFileOnce) {
    auto* first = new KvFileInputStream(file.c_str());
    KvHandle<KvFileInputStream> keepFirst(first);
    KvHandle<KvFileInputStream> second(new KvFileInputStream(file.c_str()));
    int firstFd = first->getDescriptor(), secondFd = second->getDescriptor();
    KvFileInputStream::closeAll();
    EXPECT_FALSE(isOpen(firstFd));
    EXPECT_FALSE(isOpen(secondFd));
    // The number is handed out again; the old stream's destruction must not close the new file.
    std::vector<int> opened;
    while (opened.size() < 16 &&
           (opened.empty() || (opened.back() != firstFd && opened.back() != secondFd)))
        opened.push_back(::open(file.c_str(), O_RDONLY));
    ASSERT_TRUE(opened.back() == firstFd || opened.back() == secondFd);
    keepFirst.release();
    second.release();
    for (int fd : opened) {
        EXPECT_TRUE(isOpen(fd));
        ::close(fd);
    }
}

TEST_F(KvFileInputStreamTest, CloseAllClosesOnlyNumbersThatLiveStreamsHold) {
    fs::path other = dir / "other.txt";
    std::ofstream(other) << "abc";
    // A caller's descriptor, wrapped for a while, closed by the caller, handed out again.
    int callers = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(callers, 0);
    { KvFileInputStream wrapped(callers); }
    ::close(callers);
    int reused = ::open(other.c_str(), O_RDONLY);
    ASSERT_EQ(callers, reused);
    // A stream's own file, wrapped beside it, closed when the stream goes.
    KvHandle<KvFileInputStream> owner(new KvFileInputStream(file.c_str()));
    int owned = owner->getDescriptor();
    KvFileInputStream wrapsIt(owned);
    owner.release();
    int reusedToo = ::open(other.c_str(), O_RDONLY);
    ASSERT_EQ(owned, reusedToo);
    // Still held by one live stream when the other over it goes.
    int shared = ::open(file.c_str(), O_RDONLY);
    KvFileInputStream first(shared);
    { KvFileInputStream second(shared); }

    KvFileInputStream::closeAll();
    EXPECT_TRUE(isOpen(reused));
    EXPECT_TRUE(isOpen(reusedToo));
    EXPECT_FALSE(isOpen(shared));
    ::close(reused);
    ::close(reusedToo);
}

TEST_F(KvFileInputStreamTest, AStreamFromBeforeCloseAllLeavesAReusedDescriptorToItsNewStream) {
    KvHandle<KvFileInputStream> old(new KvFileInputStream(file.c_str()));
    int fd = old->getDescriptor();
    KvFileInputStream::closeAll();
    fs::path other = dir / "other.txt";
    std::ofstream(other) << "abc";
    KvHandle<KvFileInputStream> fresh(new KvFileInputStream(other.c_str()));
    ASSERT_EQ(fd, fresh->getDescriptor()); // the lowest free number comes back
    // Nor does it read the other file through that number.
    EXPECT_ANY_THROW(old->read());
    old.release();
    EXPECT_TRUE(isOpen(fd));
    EXPECT_EQ('a', fresh->read());
    fresh.release();
    EXPECT_FALSE(isOpen(fd));
}

TEST_F(KvFileInputStreamTest, AStreamOverACallersDescriptorFailsAfterCloseAllToo) {
    int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    KvFileInputStream wrapped(fd);
    KvFileInputStream::closeAll();
    EXPECT_FALSE(isOpen(fd));
    fs::path other = dir / "other.txt";
    std::ofstream(other) << "abc";
    KvFileInputStream fresh(other.c_str());
    ASSERT_EQ(fd, fresh.getDescriptor());
    char buffer[4];
    EXPECT_ANY_THROW(wrapped.read());
    EXPECT_ANY_THROW(wrapped.read(buffer, 4, 0));
    EXPECT_EQ(-1, wrapped.getDescriptor()); // a caller's close of it would close the new file
    EXPECT_EQ('a', fresh.read());
}

} // namespace
