#include "KvBufferedInputStream.h"
#include "KvByteArrayInputStream.h"
#include "KvException.h"

#include "KvSocketTestSupport.h"
#include "support/KvCorpus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

namespace {

using kvsock::Collector;
using kvsock::LogCapture;

// Hands out its chunks one per read, as a connection hands out what arrived; -1 after the last.
class ChunkSource : public KvInputStream {
public:
    explicit ChunkSource(std::deque<std::string> chunks) : m_chunks(std::move(chunks)) {}
    using KvInputStream::read;
    int32_t read(void* buffer, int32_t length, int32_t offset) override {
        if (m_chunks.empty())
            return -1;
        std::string& chunk = m_chunks.front();
        size_t n = std::min<size_t>(static_cast<size_t>(length), chunk.size());
        std::memcpy(static_cast<char*>(buffer) + offset, chunk.data(), n);
        chunk.erase(0, n);
        if (chunk.empty())
            m_chunks.pop_front();
        m_bytesRead += n;
        return static_cast<int32_t>(n);
    }
    int read() override {
        uint8_t byte;
        return read(&byte, 1, 0) == 1 ? byte : -1;
    }
    int32_t available() override {
        return m_chunks.empty() ? 0 : static_cast<int32_t>(m_chunks.front().size());
    }
    size_t bytesRead() const { return m_bytesRead; }

private:
    std::deque<std::string> m_chunks;
    size_t m_bytesRead = 0;
};

// Never ends: a prefix, then the same pattern over and over.
class EndlessSource : public KvInputStream {
public:
    EndlessSource(std::string prefix, std::string pattern)
        : m_prefix(std::move(prefix)), m_pattern(std::move(pattern)) {}
    using KvInputStream::read;
    int32_t read(void* buffer, int32_t length, int32_t offset) override {
        char* out = static_cast<char*>(buffer) + offset;
        for (int32_t i = 0; i < length; ++i, ++m_bytesRead)
            out[i] = m_bytesRead < m_prefix.size()
                         ? m_prefix[m_bytesRead]
                         : m_pattern[(m_bytesRead - m_prefix.size()) % m_pattern.size()];
        return length;
    }
    int read() override {
        uint8_t byte;
        read(&byte, 1, 0);
        return byte;
    }
    size_t bytesRead() const { return m_bytesRead; }

private:
    std::string m_prefix;
    std::string m_pattern;
    size_t m_bytesRead = 0;
};

struct Framed {
    std::vector<std::string> packets;
    size_t nulls = 0;
    bool endedByFraming = false;
    std::string log;
};

// Runs block() until it returns false (bounded), collecting what the observer was handed.
Framed frame(KvHandle<KvInputStream> source, int maxBlocks = 10000) {
    LogCapture log;
    KvHandle<KvBufferedInputStream> stream(new KvBufferedInputStream(source));
    KvHandle<Collector> collector(new Collector);
    stream->attachObserver(collector);
    for (int i = 0; i < maxBlocks && stream->block(); ++i) {
    }
    Framed result;
    result.packets = collector->packets();
    result.nulls = collector->nullCount();
    result.endedByFraming = stream->getFramingError() != nullptr;
    result.log = log.text();
    stream->detachObserver(collector.get());
    return result;
}

Framed frameChunks(std::deque<std::string> chunks) {
    return frame(KvHandle<KvInputStream>(new ChunkSource(std::move(chunks))));
}

std::string message(const std::string& body, const std::string& lengthHeader = "Content-Length",
                    const std::string& eol = "\r\n") {
    return "MESSAGE sip:bob@example.com SIP/2.0" + eol + "Via: SIP/2.0/TCP host;branch=z9hG4bK1" +
           eol + "Call-ID: abc@host" + eol + lengthHeader + ": " + std::to_string(body.size()) +
           eol + eol + body;
}

TEST(KvBufferedInputStreamFraming, TwoMessagesInOneReadBecomeTwoPackets) {
    std::string first = message("hello");
    std::string second = message("second body");
    Framed framed = frameChunks({first + second});
    ASSERT_EQ(framed.packets.size(), 2u);
    EXPECT_EQ(framed.packets[0], first);
    EXPECT_EQ(framed.packets[1], second);
    EXPECT_FALSE(framed.endedByFraming);
    EXPECT_EQ(framed.nulls, 1u); // the end of the source
}

TEST(KvBufferedInputStreamFraming, MessageSplitAnywhereIsDeliveredWhole) {
    std::string whole = message("a body split across reads");
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        Framed framed = frameChunks({whole.substr(0, cut), whole.substr(cut)});
        ASSERT_EQ(framed.packets.size(), 1u) << "cut at " << cut;
        EXPECT_EQ(framed.packets[0], whole);
    }
    std::deque<std::string> bytes;
    for (char c : whole)
        bytes.emplace_back(1, c);
    Framed framed = frameChunks(bytes);
    ASSERT_EQ(framed.packets.size(), 1u);
    EXPECT_EQ(framed.packets[0], whole);
}

TEST(KvBufferedInputStreamFraming, HeaderNameFormsThatFrameTheBody) {
    for (const char* name :
         {"Content-Length", "content-length", "CONTENT-length", "l", "L", "Content-Length   "}) {
        std::string first = message("abc", name);
        std::string second = message("xyz");
        Framed framed = frameChunks({first + second});
        ASSERT_EQ(framed.packets.size(), 2u) << name;
        EXPECT_EQ(framed.packets[0], first) << name;
    }
    // Only a header name counts, not a look-alike or the start line.
    std::string lookAlike = "MESSAGE sip:a SIP/2.0\r\nX-Content-Length: 5\r\nContent-Length: 2\r\n"
                            "\r\nab";
    Framed framed = frameChunks({lookAlike + message("")});
    ASSERT_EQ(framed.packets.size(), 2u);
    EXPECT_EQ(framed.packets[0], lookAlike);
}

TEST(KvBufferedInputStreamFraming, LineFeedOnlyAndFoldedLengthFrameLikeCrLf) {
    std::string lf = message("abc", "Content-Length", "\n");
    std::string folded = "MESSAGE sip:a SIP/2.0\r\nContent-Length:\r\n  4\r\n\r\nbody";
    Framed framed = frameChunks({lf + folded + message("z")});
    ASSERT_EQ(framed.packets.size(), 3u);
    EXPECT_EQ(framed.packets[0], lf);
    EXPECT_EQ(framed.packets[1], folded);
}

TEST(KvBufferedInputStreamFraming, MessageWithoutLengthHasAnEmptyBody) {
    std::string noLength = "OPTIONS sip:a SIP/2.0\r\nCall-ID: x\r\n\r\n";
    std::string next = message("payload");
    Framed framed = frameChunks({noLength + next});
    ASSERT_EQ(framed.packets.size(), 2u);
    EXPECT_EQ(framed.packets[0], noLength);
    EXPECT_EQ(framed.packets[1], next);
}

TEST(KvBufferedInputStreamFraming, KeepAlivesBetweenMessagesAreSkipped) {
    std::string first = message("1");
    std::string second = message("2");
    Framed framed = frameChunks({"\r\n\r\n", first + "\r\n", "\r\n\r\n" + second + "\r\n\r\n"});
    ASSERT_EQ(framed.packets.size(), 2u);
    EXPECT_EQ(framed.packets[0], first);
    EXPECT_EQ(framed.packets[1], second);
    EXPECT_FALSE(framed.endedByFraming);
}

TEST(KvBufferedInputStreamFraming, HostileLengthsCloseTheConnection) {
    struct Case {
        const char* value;
        const char* reason;
    } cases[] = {
        {"4294967296", "Content-Length above the limit"},
        {"99999999999999999999999999", "Content-Length above the limit"},
        {"1048577", "Content-Length above the limit"},
        {"-1", "Content-Length is not a number"},
        {"abc", "Content-Length is not a number"},
        {"12abc", "Content-Length is not a number"},
        {"", "Content-Length is not a number"},
    };
    for (const Case& c : cases) {
        std::string hostile =
            std::string("INVITE sip:a SIP/2.0\r\nContent-Length: ") + c.value + "\r\n\r\nbody";
        // A valid message before it is still delivered; nothing after it is.
        Framed framed = frameChunks({message("ok") + hostile + message("after")});
        ASSERT_EQ(framed.packets.size(), 1u) << c.value;
        EXPECT_EQ(framed.packets[0], message("ok"));
        EXPECT_TRUE(framed.endedByFraming) << c.value;
        EXPECT_EQ(framed.nulls, 1u);
        EXPECT_NE(framed.log.find(c.reason), std::string::npos) << c.value << ": " << framed.log;
    }
    // The bound itself is a valid length.
    std::string largest = message(std::string(KvBufferedInputStream::kMaxContentLength, 'b'));
    Framed framed = frameChunks({largest});
    ASSERT_EQ(framed.packets.size(), 1u);
    EXPECT_EQ(framed.packets[0].size(), largest.size());
}

TEST(KvBufferedInputStreamFraming, EndlessHeaderIsCutOffWithBoundedMemory) {
    // One endless line, and endless complete header lines: both are cut off.
    for (const char* pattern : {"x", "X-Header: value\r\n"}) {
        KvHandle<EndlessSource> source(new EndlessSource("INVITE sip:a SIP/2.0\r\nX: ", pattern));
        Framed framed = frame(KvHandle<KvInputStream>(source));
        EXPECT_TRUE(framed.packets.empty());
        EXPECT_TRUE(framed.endedByFraming);
        EXPECT_EQ(framed.nulls, 1u);
        EXPECT_NE(framed.log.find("no end of header within the limit"), std::string::npos);
        // It stopped reading soon after the bound instead of buffering without end.
        EXPECT_LE(source->bytesRead(), KvBufferedInputStream::kMaxHeaderLength + 2 * 8192);
    }
    // A body as large as allowed, then a stream of garbage: the message goes up, the garbage
    // (an endless header) is cut off.
    std::string header = "INVITE sip:a SIP/2.0\r\nContent-Length: 1048576\r\n\r\n";
    KvHandle<EndlessSource> big(new EndlessSource(header, "b"));
    Framed framed = frame(KvHandle<KvInputStream>(big));
    ASSERT_EQ(framed.packets.size(), 1u);
    EXPECT_EQ(framed.packets[0].size(), header.size() + KvBufferedInputStream::kMaxContentLength);
    EXPECT_TRUE(framed.endedByFraming);
    EXPECT_LE(big->bytesRead(), header.size() + KvBufferedInputStream::kMaxContentLength +
                                    KvBufferedInputStream::kMaxHeaderLength + 2 * 8192);
}

TEST(KvBufferedInputStreamFraming, ManyMessagesInArbitraryPiecesAllArrive) {
    // Many messages through one stream: each is delivered, and reading never stalls or leaks.
    std::string one = message(std::string(3000, 'm'));
    std::deque<std::string> chunks;
    std::string all;
    for (int i = 0; i < 400; ++i)
        all += one;
    for (size_t at = 0; at < all.size(); at += 7001)
        chunks.push_back(all.substr(at, 7001));
    Framed framed = frameChunks(chunks);
    ASSERT_EQ(framed.packets.size(), 400u);
    for (const std::string& packet : framed.packets)
        ASSERT_EQ(packet, one);
}

TEST(KvBufferedInputStreamFraming, TortureMessagesFrameWithoutHarm) {
    KV_REQUIRE_CORPUS();
    int files = 0;
    for (const auto& [name, text] : kvCorpusMessages({"rfc4475"})) {
        Framed framed = frameChunks({text});
        // Whatever was delivered is the input's own bytes, in order.
        size_t at = 0;
        for (const std::string& packet : framed.packets) {
            size_t found = text.find(packet, at);
            ASSERT_NE(found, std::string::npos) << name;
            at = found + packet.size();
        }
        if (name == "dblreq.dat") {
            // Two requests back to back: two messages, the INVITE with its 150-byte body.
            ASSERT_GE(framed.packets.size(), 2u);
            EXPECT_EQ(framed.packets[0].rfind("REGISTER ", 0), 0u);
            EXPECT_EQ(framed.packets[1].rfind("INVITE ", 0), 0u);
            EXPECT_EQ(framed.packets[1].substr(framed.packets[1].size() - 150, 3), "v=0");
        } else if (name == "ncl.dat") {
            EXPECT_TRUE(framed.endedByFraming); // Content-Length: -999
            EXPECT_TRUE(framed.packets.empty());
        } else if (name == "clerr.dat") {
            EXPECT_TRUE(framed.packets.empty()); // promises more body than ever comes
        } else if (name == "wsinv.dat") {
            // "Content-Length   : 150" frames the body.
            ASSERT_GE(framed.packets.size(), 1u);
            EXPECT_EQ(framed.packets[0].find("\r\n\r\n") + 4 + 150, framed.packets[0].size());
        }
        ++files;
    }
    EXPECT_GT(files, 40);
}

TEST(KvBufferedInputStreamFraming, PacketsCarryNoPeerForAPlainSource) {
    LogCapture log;
    KvHandle<KvBufferedInputStream> stream(
        new KvBufferedInputStream(KvHandle<KvInputStream>(new ChunkSource({message("x")}))));
    ASSERT_EQ(stream->fill(0), static_cast<int32_t>(message("x").size()));
    ASSERT_TRUE(stream->hasCompleteMessage());
    KvHandle<KvDatagramPacket> packet = stream->readMessagePacket();
    EXPECT_EQ(packet->getLength(), message("x").size());
    EXPECT_EQ(packet->getOffset(), 0u);
    EXPECT_EQ(packet->getPort(), 0u);
    EXPECT_FALSE(stream->hasCompleteMessage());
    EXPECT_EQ(stream->available(), 0);
}

TEST(KvBufferedInputStream, ReadsThroughTheBuffer) {
    std::string text = "0123456789abcdefghij";
    KvHandle<KvBufferedInputStream> stream(new KvBufferedInputStream(
        KvHandle<KvInputStream>(new ChunkSource({text.substr(0, 5), text.substr(5)})), 0));
    EXPECT_EQ(stream->read(), '0');
    EXPECT_EQ(stream->available(), 4);
    char buffer[32] = {};
    // Four bytes in hand and more at the source: the read tops up without waiting.
    EXPECT_EQ(stream->read(buffer, 10, 1), 10);
    EXPECT_EQ(std::string(buffer + 1, 10), text.substr(1, 10));
    EXPECT_TRUE(stream->markSupported());
    stream->mark(-1);
    EXPECT_EQ(stream->read(), 'b');
    EXPECT_EQ(stream->read(), 'c');
    stream->reset();
    EXPECT_EQ(stream->read(), 'b');
    EXPECT_EQ(stream->skip(3), 3);
    EXPECT_EQ(stream->read(), 'f');
    EXPECT_EQ(stream->read(buffer, 100, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "ghij");
    EXPECT_EQ(stream->read(), -1);
    EXPECT_EQ(stream->read(buffer, 1, 0), -1);
}

TEST(KvBufferedInputStream, ResetWithoutMarkThrows) {
    KvHandle<KvBufferedInputStream> stream(
        new KvBufferedInputStream(KvHandle<KvInputStream>(new ChunkSource({"ab"})), 16));
    EXPECT_EQ(stream->read(), 'a');
    try {
        stream->reset();
        FAIL() << "reset without a mark";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "mark limit exceeded");
    }
    stream->mark(1);
    stream->reset();
    // A reset clears the mark.
    EXPECT_THROW(stream->reset(), KvHandle<KvException>);
}

TEST(KvBufferedInputStream, ReadsOfAnyShapeKeepEveryByte) {
    // Reads of varying sizes over data that arrives in varying pieces, with compaction under way.
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text.push_back(static_cast<char>('a' + (i * 7) % 26));
    std::deque<std::string> chunks;
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 3 % 20011 + 1)
        chunks.push_back(text.substr(at, step));
    KvHandle<KvBufferedInputStream> stream(
        new KvBufferedInputStream(KvHandle<KvInputStream>(new ChunkSource(chunks))));
    std::string out;
    char buffer[5000];
    for (int32_t want = 1;; want = want * 5 % 4999 + 1) {
        if (want % 3 == 0) {
            int c = stream->read();
            if (c < 0)
                break;
            out.push_back(static_cast<char>(c));
            continue;
        }
        int32_t n = stream->read(buffer, want, 0);
        if (n < 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(out, text);
}

TEST(KvBufferedInputStream, UpdateFillsWhatIsAvailableAndNotifies) {
    KvHandle<KvBufferedInputStream> stream(
        new KvBufferedInputStream(KvHandle<KvInputStream>(new ChunkSource({"abc"}))));
    KvHandle<Collector> collector(new Collector);
    stream->attachObserver(collector);
    stream->update(KvHandle<KvObject>(), KvHandle<KvObject>());
    EXPECT_EQ(stream->available(), 3);
    EXPECT_EQ(collector->nullCount(), 1u);
    stream->update(KvHandle<KvObject>(), KvHandle<KvObject>()); // nothing more: no read
    EXPECT_EQ(stream->available(), 3);
    stream->detachObserver(collector.get());
}

} // namespace
