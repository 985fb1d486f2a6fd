#include "KvBufferedOutputStream.h"
#include "KvException.h"
#include "KvFileOutputStream.h"
#include "support/KvFailingTarget.h"
#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// Records each write that reaches it as one chunk.
struct ChunkStream : KvOutputStream {
    using KvOutputStream::write;
    void write(uint8_t byte) override { chunks.emplace_back(1, static_cast<char>(byte)); }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (failing)
            KvException::sThrow("target failed");
        chunks.emplace_back(static_cast<const char*>(buffer) + offset, length);
    }
    void flush() override { ++flushes; }
    std::string all() const {
        std::string text;
        for (const auto& chunk : chunks)
            text += chunk;
        return text;
    }
    std::vector<std::string> chunks;
    int flushes = 0;
    bool failing = false;
};

TEST(KvBufferedOutputStream, LargeWritesGoStraightThrough) {
    KvHandle<ChunkStream> target(new ChunkStream);
    KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(target, 512));
    std::string data(1000, 'x');
    stream->write(data.data(), 1000, 0);
    ASSERT_EQ(target->chunks.size(), 1u);
    EXPECT_EQ(target->chunks[0].size(), 1000u);
    EXPECT_EQ(stream->getCount(), 0u);
}

TEST(KvBufferedOutputStream, SmallWritesAreCollected) {
    KvHandle<ChunkStream> target(new ChunkStream);
    KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(target, 512));
    std::string data;
    for (int i = 0; i < 6; ++i) {
        std::string part(100, static_cast<char>('a' + i));
        data += part;
        stream->write(part.data(), 100, 0);
        EXPECT_EQ(target->chunks.size(), i < 5 ? 0u : 1u) << "after write " << i + 1;
    }
    EXPECT_EQ(target->chunks[0], data.substr(0, 500));
    EXPECT_EQ(stream->getCount(), 100u);
    stream->flush();
    ASSERT_EQ(target->chunks.size(), 2u);
    EXPECT_EQ(target->chunks[1], data.substr(500));
    EXPECT_EQ(target->flushes, 0); // the target's own flush is not called
    stream->flush();               // nothing held: nothing written
    EXPECT_EQ(target->chunks.size(), 2u);
}

TEST(KvBufferedOutputStream, BytesAndFormattedValues) {
    KvHandle<ChunkStream> target(new ChunkStream);
    KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(target, 4));
    *stream << "ab" << 'c' << 'd' << 'e';
    EXPECT_EQ(target->all(), "abcd");
    *stream << -5 << endl;
    EXPECT_EQ(target->all(), "abcde-5\n");
    stream->write("0123456789", 3, 7);
    stream->write(static_cast<const void*>(nullptr), 3, 0);
    stream->flush();
    EXPECT_EQ(target->all(), "abcde-5\n789");
}

TEST(KvBufferedOutputStream, DestructionPassesOnWhatIsHeld) {
    KvHandle<ChunkStream> target(new ChunkStream);
    {
        KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(target, 64));
        *stream << "pending";
    }
    EXPECT_EQ(target->all(), "pending");
    // A failing target at destruction loses the bytes but does not escape the destructor.
    {
        KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(target, 64));
        *stream << "lost";
        target->failing = true;
    }
    EXPECT_EQ(target->all(), "pending");
}

TEST(KvBufferedOutputStream, FailedFlushKeepsTheBytes) {
    KvHandle<ChunkStream> target(new ChunkStream);
    KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(target, 8));
    *stream << "held";
    target->failing = true;
    EXPECT_THROW(stream->flush(), KvHandle<KvException>);
    target->failing = false;
    stream->flush();
    EXPECT_EQ(target->all(), "held");
}

TEST(KvBufferedOutputStream, ARetriedFlushWritesOnlyWhatThePartialWriteLeft) {
    std::filesystem::path dir = kvFreshDirectory("kv_bufferedout_partial");
    std::filesystem::path file = dir / "out.bin";
    std::string data;
    for (int i = 0; i < 1600; ++i)
        data.push_back(static_cast<char>('a' + i % 23));
    // Past the size limit a write is cut short, and the next one fails instead of raising SIGXFSZ.
    struct rlimit previous {};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &previous));
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = 700;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    int failures = 0;
    {
        KvHandle<KvBufferedOutputStream> stream(new KvBufferedOutputStream(
            KvHandle<KvOutputStream>(new KvFileOutputStream(file.c_str())), 512));
        for (size_t at = 0; at < data.size(); at += 100) {
            try {
                stream->write(data.data(), 100, static_cast<uint32_t>(at));
            } catch (KvHandle<KvException>&) {
                ++failures;
                EXPECT_EQ(300u, stream->getCount()); // 200 of the 500 flushed reached the file
                setrlimit(RLIMIT_FSIZE, &previous);
                stream->write(data.data(), 100, static_cast<uint32_t>(at));
            }
        }
        stream->flush();
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(1, failures);
    std::string written = kvReadFile(file);
    EXPECT_EQ(data.size(), written.size());
    EXPECT_TRUE(written == data);
    std::filesystem::remove_all(dir);
}

TEST(KvBufferedOutputStream, AFailedWriteLeavesAPrefixWhicheverWriteFails) {
    // Bytes, short runs, and runs longer than either buffer that go straight through.
    std::string whole;
    for (int i = 0; i < 40; ++i)
        whole +=
            std::string(static_cast<size_t>(i * 37 % 5000 + 1), static_cast<char>('a' + i % 26));
    auto writeOut = [](const std::string& text) {
        return [&text](KvOutputStream& out) {
            for (size_t at = 0, i = 0; at < text.size(); ++i) {
                const size_t length = std::min(text.size() - at, i * 37 % 5000 + 1);
                if (length == 1)
                    out.write(static_cast<uint8_t>(text[at]));
                else
                    out.write(text.data(), static_cast<uint32_t>(length),
                              static_cast<uint32_t>(at));
                at += length;
            }
        };
    };
    kvExpectAPrefixWhicheverWriteFails(whole, writeOut(whole));
    // A target that takes single bytes tells how many it took before one failed.
    const std::string part = whole.substr(0, 1500);
    kvExpectAPrefixWhicheverWriteFails<KvFailingByteTarget>(part, writeOut(part));
    // A target that hands other bytes than it was given to the byte loop cannot tell: a stream
    // over it may write some again, but loses none. Varied bytes, so that a gap shows.
    std::string varied;
    for (uint32_t i = 0; i < 600; ++i)
        varied.push_back(static_cast<char>((i * i + 151 * i) % 256));
    kvExpectAPrefixWhicheverWriteFails<KvFailingHexTarget>(varied, writeOut(varied));
}

TEST(KvBufferedOutputStream, NeedsABufferAndATarget) {
    KvHandle<ChunkStream> target(new ChunkStream);
    try {
        KvBufferedOutputStream stream(target, 0);
        FAIL() << "no exception";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "No buffer in KvBufferedOutputStream");
    }
    EXPECT_THROW(KvBufferedOutputStream(KvHandle<KvOutputStream>(), 16), KvHandle<KvException>);
}

TEST(KvOutputStream, GlobalStreamCanBeReplaced) {
    KvHandle<KvOutputStream> standard = KvOutputStream::getGlobalStream();
    ASSERT_FALSE(standard.isNull());
    EXPECT_EQ(KvOutputStream::getGlobalStream().get(), standard.get());
    EXPECT_NE(dynamic_cast<KvBufferedOutputStream*>(standard.get()), nullptr);
    KvHandle<ChunkStream> target(new ChunkStream);
    EXPECT_EQ(KvOutputStream::setGlobalStream(target).get(), standard.get());
    *KvOutputStream::getGlobalStream() << "global";
    EXPECT_EQ(target->all(), "global");
    EXPECT_EQ(KvOutputStream::setGlobalStream(standard).get(), target.get());
}

} // namespace
