#include "KvErrorStream.h"
#include "KvException.h"
#include "KvFileOutputStream.h"
#include "KvOutputSink.h"
#include "KvThread.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TextStream : KvOutputStream {
    using KvOutputStream::write;
    void write(uint8_t byte) override {
        std::lock_guard<std::mutex> guard(mutex);
        text += static_cast<char>(byte);
    }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        std::lock_guard<std::mutex> guard(mutex);
        text.append(static_cast<const char*>(buffer) + offset, length);
        ++writes;
    }
    void flush() override { ++flushes; }
    std::mutex mutex;
    std::string text;
    int writes = 0;
    int flushes = 0;
};

TEST(KvErrorStream, LevelsBelowTheThresholdPass) {
    KvHandle<TextStream> sink(new TextStream);
    KvErrorStream stream(sink);
    EXPECT_EQ(stream.getLevel(), 3u);
    EXPECT_TRUE(stream.isLevelEnabled(0));
    EXPECT_TRUE(stream.isLevelEnabled(2));
    EXPECT_FALSE(stream.isLevelEnabled(3));
    EXPECT_FALSE(stream.isLevelEnabled(5));
    EXPECT_EQ(&stream.getStream(2), &stream); // which passes it on to the sink
    EXPECT_EQ(&stream.getStream(3), &KvOutputSink::sNullStream());
    stream.getStream(5) << "general trace " << 5 << endl;
    stream.getStream(0) << "passes " << 0 << endl;
    EXPECT_EQ(sink->text, "passes 0\n");
    EXPECT_EQ(sink->flushes, 1);
}

TEST(KvErrorStream, CategoriesMustBeEntered) {
    KvHandle<TextStream> sink(new TextStream);
    KvErrorStream stream(sink);
    EXPECT_EQ(&stream.getStream("KvSocket", 0), &KvOutputSink::sNullStream());
    stream.addCategory("KvSocket");
    EXPECT_EQ(&stream.getStream("KvSocket", 0), &stream);
    EXPECT_EQ(&stream.getStream("KvSocket", 3), &KvOutputSink::sNullStream());
    EXPECT_EQ(&stream.getStream("KvThread", 0), &KvOutputSink::sNullStream());
    EXPECT_EQ(&stream.getStream(nullptr, 0), &KvOutputSink::sNullStream());
    stream.addCategory("KvSocket"); // entering it twice is harmless
    stream.removeCategory("KvSocket");
    EXPECT_EQ(&stream.getStream("KvSocket", 0), &KvOutputSink::sNullStream());
    stream.removeCategory("never entered");
}

TEST(KvErrorStream, WithoutSinkTextGoesToStandardError) {
    KvErrorStream stream;
    EXPECT_EQ(&stream.getStream(1), &stream);
    testing::internal::CaptureStderr();
    stream.getStream(1) << "to stderr " << 42 << endl;
    stream.writeText("plain");
    stream.write('!');
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("to stderr 42\nplain!"));
}

TEST(KvErrorStream, WriteTextLeavesOutTheTerminator) {
    KvHandle<TextStream> sink(new TextStream);
    KvErrorStream stream(sink);
    stream.writeText("abc");
    stream.writeText(nullptr);
    stream.writeText("");
    EXPECT_EQ(sink->text, "abc");
    EXPECT_EQ(sink->text.size(), 3u);
    stream.write("xyz", 2, 1);
    stream.flush();
    EXPECT_EQ(sink->text, "abcyz");
    EXPECT_EQ(sink->flushes, 1);
}

TEST(KvErrorStream, ASinkThatFailsLosesTheTextAndNothingElse) {
    KvErrorStream stream(KvHandle<KvOutputStream>(new KvFileOutputStream("/dev/full")));
    stream.addCategory("KvException");
    EXPECT_EQ(kvThrownText([&] { stream.getStream("KvException", 0) << "line " << 1 << endl; }),
              "(nothing thrown)");
    // A trace of several parts gets to its unlock.
    stream.lock();
    EXPECT_EQ(kvThrownText([&] { stream << "part " << 'a' << endl; }), "(nothing thrown)");
    stream.unlock();
}

TEST(KvErrorStream, ATraceReachesTheSinkAsOneWriteLostWholeOrWhole) {
    // Refuses a write that holds "BAD".
    struct PickySink : TextStream {
        using TextStream::write;
        void write(const void* buffer, uint32_t length, uint32_t offset) override {
            if (std::string_view(static_cast<const char*>(buffer) + offset, length).find("BAD") !=
                std::string_view::npos)
                KvException::sThrow("refused");
            TextStream::write(buffer, length, offset);
        }
    };
    KvHandle<PickySink> sink(new PickySink);
    KvHandle<KvErrorStream> stream(new KvErrorStream(sink));
    stream->lock();
    *stream << "part A, "
            << "BAD"
            << " part C" << endl;
    stream->unlock();
    *stream << "next line" << endl;
    EXPECT_EQ(sink->text, "next line\n");
    // Larger than what may wait for a busy sink: a free one takes it whole.
    const std::string big((16u << 20) + 1, 'y');
    stream->lock();
    stream->writeText(big.c_str());
    *stream << "\n";
    stream->unlock();
    EXPECT_EQ(sink->text.size(), std::strlen("next line\n") + big.size() + 1);
}

TEST(KvErrorStream, SinksThatLogToEachOtherEndTheirLoop) {
    // Each hands what it takes to the other stream, a hundred times at most.
    struct RelaySink : TextStream {
        using TextStream::write;
        void write(const void* buffer, uint32_t length, uint32_t offset) override {
            TextStream::write(buffer, length, offset);
            if (++relayed <= 100)
                other->write(buffer, length, offset);
        }
        KvErrorStream* other = nullptr;
        int relayed = 0;
    };
    KvHandle<RelaySink> sinkA(new RelaySink), sinkB(new RelaySink);
    KvHandle<KvErrorStream> a(new KvErrorStream(sinkA)), b(new KvErrorStream(sinkB));
    sinkA->other = b.get();
    sinkB->other = a.get();
    a->writeText("one line\n");
    EXPECT_EQ(sinkA->text, "one line\n");
    EXPECT_EQ(sinkB->text, "");
}

TEST(KvErrorStream, SetInstanceReturnsThePreviousStream) {
    KvHandle<KvErrorStream> original = KvErrorStream::instance();
    ASSERT_FALSE(original.isNull());
    EXPECT_EQ(KvErrorStream::instance().get(), original.get());
    KvHandle<KvErrorStream> replacement(new KvErrorStream);
    EXPECT_EQ(KvErrorStream::setInstance(replacement).get(), original.get());
    EXPECT_EQ(KvErrorStream::instance().get(), replacement.get());
    EXPECT_EQ(KvErrorStream::setInstance(original).get(), replacement.get());
}

TEST(KvErrorStream, InstanceIsSafeAgainstConcurrentReplacement) {
    KvHandle<KvErrorStream> original = KvErrorStream::setInstance(
        KvHandle<KvErrorStream>(new KvErrorStream(KvHandle<TextStream>(new TextStream))));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                if (t == 0) {
                    KvHandle<TextStream> sink(new TextStream);
                    KvErrorStream::setInstance(KvHandle<KvErrorStream>(new KvErrorStream(sink)));
                } else {
                    KvErrorStream::instance()->getStream(5) << "dropped" << endl;
                    KvErrorStream::instance()->getStream(0) << "kept" << i;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    KvErrorStream::setInstance(original);
}

TEST(KvErrorStream, MultiPartTracesDoNotInterleave) {
    KvHandle<TextStream> sink(new TextStream);
    KvHandle<KvErrorStream> stream(new KvErrorStream(sink));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([stream, t] {
            for (int i = 0; i < 200; ++i) {
                stream->lock();
                *stream << "<" << t;
                *stream << ":" << i;
                *stream << ">" << endl;
                stream->unlock();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::istringstream lines(sink->text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.front(), '<');
        ASSERT_EQ(line.back(), '>');
        ASSERT_EQ(line.find('<', 1), std::string::npos) << line;
        ++count;
    }
    EXPECT_EQ(count, 800);
}

TEST(KvErrorStream, LogSetUpKeepsThePreviousRunAndStartsEmpty) {
    fs::path dir = kvFreshDirectory("kv_errorstream_setup");
    fs::path log = dir / "Sip.log", previous = dir / "SipPrv.log";
    std::ofstream(log) << "last run";
    std::ofstream(previous) << "run before last";

    KvHandle<KvErrorStream> savedStream = KvErrorStream::instance();
    KvHandle<KvOutputStream> savedGlobal = KvOutputStream::getGlobalStream();
    KvErrorStream::sSetUpLog(log.c_str(), previous.c_str());
    KvErrorStream::instance()->getStream("KvSocket", 0) << "Closing all sockets\n" << endl;
    KvErrorStream::instance()->getStream("KvSipMlException", 0) << "x";
    KvErrorStream::instance()->getStream("KvOther", 0) << "not entered";
    KvErrorStream::instance()->getStream(5) << "level five";
    KvOutputStream::getGlobalStream()->write('.');
    EXPECT_EQ(kvReadFile(previous), "last run");
    EXPECT_EQ(kvReadFile(log), "Closing all sockets\n\nx.");

    KvErrorStream::setInstance(savedStream);
    KvOutputStream::setGlobalStream(savedGlobal);
    fs::remove_all(dir);
}

TEST(KvErrorStream, LogSetUpTruncatesALogThatCouldNotBeMoved) {
    fs::path dir = kvFreshDirectory("kv_errorstream_truncate");
    fs::path log = dir / "Sip.log";
    std::ofstream(log) << "a long line from an older run that must not survive";
    fs::path unreachable = dir / "missing" / "SipPrv.log";

    KvHandle<KvErrorStream> savedStream = KvErrorStream::instance();
    KvHandle<KvOutputStream> savedGlobal = KvOutputStream::getGlobalStream();
    KvErrorStream::sSetUpLog(log.c_str(), unreachable.c_str());
    KvErrorStream::instance()->getStream("KvException", 0) << "new" << endl;
    EXPECT_EQ(kvReadFile(log), "new\n");

    KvErrorStream::setInstance(savedStream);
    KvOutputStream::setGlobalStream(savedGlobal);
    fs::remove_all(dir);
}

} // namespace

TEST(KvErrorStream, RandomLoggingOnSeveralThreadsEntersTheSinkOneAtATimeAndUnderNoLock) {
    // A sink made for one thread, as a byte-array stream is. It refuses a text that starts "!";
    // for one that starts "?" it waits for another thread that logs (a sink that hands its text
    // to a queue of another thread's, which logs too); for one that starts "~" it logs itself.
    struct OneThreadSink : KvOutputStream {
        using KvOutputStream::write;
        void write(uint8_t byte) override { write(&byte, 1, 0); }
        void write(const void* buffer, uint32_t length, uint32_t offset) override {
            if (inside.fetch_add(1) != 0)
                ++overlaps;
            const std::string piece(static_cast<const char*>(buffer) + offset, length);
            const bool refused = !piece.empty() && piece[0] == '!';
            if (!refused)
                text += piece;
            if (!piece.empty() && piece[0] == '?')
                waitForALoggingThread();
            if (!piece.empty() && piece[0] == '~')
                stream->writeText("fed to itself\n");
            --inside;
            if (refused)
                KvException::sThrow("sink failed");
        }
        void waitForALoggingThread() {
            KvHandle<KvErrorStream> log = stream;
            auto done = std::make_shared<std::atomic<bool>>(false);
            std::thread other([log, done] {
                log->writeText("h\n");
                *done = true;
            });
            // After one stall, the rest are not waited for.
            for (int waited = 0; !*done && waited < (stalls ? 0 : 5000); ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (*done) {
                other.join();
            } else {
                ++stalls; // it would wait for good
                other.detach();
            }
        }
        KvErrorStream* stream = nullptr;
        std::atomic<int> inside{0}, overlaps{0}, stalls{0};
        std::string text;
    };
    const char* seedText = std::getenv("KV_ERRORSTREAM_SEED");
    const uint64_t seed = seedText ? std::strtoull(seedText, nullptr, 10)
                                   : static_cast<uint64_t>(std::random_device{}());
    SCOPED_TRACE("seed " + std::to_string(seed) + " (KV_ERRORSTREAM_SEED reruns it)");
    KvHandle<OneThreadSink> sink(new OneThreadSink);
    KvHandle<KvErrorStream> stream(new KvErrorStream(sink));
    sink->stream = stream.get();
    KvHandle<KvErrorStream> installed = KvErrorStream::setInstance(stream);
    stream->addCategory("KvException");
    std::atomic<size_t> expected{0};
    std::vector<std::thread> threads;
    constexpr int kThreads = 4;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937_64 random(seed + t);
            for (int i = 0; i < 2000; ++i) {
                const std::string line = std::to_string(t) + "." + std::to_string(i) + "\n";
                switch (random() % 9) {
                case 0: // a line of one piece
                case 1:
                    stream->getStream("KvException", 0) << line.c_str();
                    expected += line.size();
                    break;
                case 2: // refused by the sink, lost alone
                    stream->writeText(("!" + line).c_str());
                    break;
                case 3: // a trace of several parts
                case 4:
                    stream->lock();
                    stream->writeText("<");
                    stream->writeText(line.c_str());
                    stream->unlock();
                    expected += 1 + line.size();
                    break;
                case 5: // the sink waits for another thread that logs
                    if (random() % 8 == 0) {
                        stream->writeText(("?" + line).c_str());
                        expected += 1 + line.size() + 2;
                    }
                    break;
                case 6: // the sink logs while it is written to
                    stream->writeText(("~" + line).c_str());
                    expected += 1 + line.size();
                    break;
                case 7: // a line of the library's own, written in several parts
                    KvThread::sLogCaught("site", line.substr(0, line.size() - 1).c_str());
                    expected += std::strlen("catch exception in site(): ") + line.size();
                    break;
                default:
                    stream->flush();
                }
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    KvErrorStream::setInstance(installed);
    ASSERT_EQ(sink->stalls, 0) << "a sink that waited for a thread that logs never saw it return";
    EXPECT_EQ(sink->overlaps, 0);
    // What the sink refused was lost alone, and what it wrote to the stream itself was dropped;
    // everything else arrived, each line whole (a trace's parts, a library line's) and each
    // thread's lines in the order it wrote them.
    EXPECT_EQ(sink->text.size(), expected.load());
    EXPECT_EQ(sink->text.find('!'), std::string::npos);
    EXPECT_EQ(sink->text.find("fed to itself"), std::string::npos);
    std::vector<int> last(kThreads, -1);
    std::istringstream lines(sink->text);
    const std::regex whole(R"(h|[<?~]?\d+\.\d+|catch exception in site\(\): \d+\.\d+)");
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(std::regex_match(line, whole)) << line;
        const size_t digits = line.find_first_of("0123456789");
        if (line == "h" || digits == std::string::npos)
            continue;
        const int t = std::stoi(line.substr(digits));
        const int i = std::stoi(line.substr(line.find('.') + 1));
        ASSERT_LT(last[t], i) << line;
        last[t] = i;
    }
}
