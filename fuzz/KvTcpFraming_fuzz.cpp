// The SIP-over-TCP framer fed a byte stream in chunks: the messages it cuts out must be slices of
// the stream, in order, and must not depend on how the stream was chunked.
#include "KvBufferedInputStream.h"
#include "KvDatagramPacket.h"
#include "KvException.h"
#include "KvFuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Hands out the stream in chunks, one per read, as a connection hands out what arrived; -1 after
// the last.
class KvChunkSource : public KvInputStream {
public:
    KvChunkSource(std::string bytes, std::vector<size_t> chunks)
        : m_bytes(std::move(bytes)), m_chunks(std::move(chunks)) {}
    using KvInputStream::read;
    int32_t read(void* buffer, int32_t length, int32_t offset) override {
        if (m_position >= m_bytes.size())
            return -1;
        size_t n =
            std::min({static_cast<size_t>(length), chunkLeft(), m_bytes.size() - m_position});
        std::memcpy(static_cast<char*>(buffer) + offset, m_bytes.data() + m_position, n);
        m_position += n;
        m_used += n;
        return static_cast<int32_t>(n);
    }
    int read() override {
        uint8_t byte;
        return read(&byte, 1, 0) == 1 ? byte : -1;
    }
    int32_t available() override {
        if (m_position >= m_bytes.size())
            return 0;
        return static_cast<int32_t>(std::min(chunkLeft(), m_bytes.size() - m_position));
    }

private:
    size_t chunkLeft() {
        size_t size = m_chunks.empty() ? m_bytes.size() : m_chunks[m_chunk % m_chunks.size()];
        if (m_used >= size) {
            ++m_chunk;
            m_used = 0;
            size = m_chunks.empty() ? m_bytes.size() : m_chunks[m_chunk % m_chunks.size()];
        }
        return size - m_used;
    }

    std::string m_bytes;
    std::vector<size_t> m_chunks;
    size_t m_position = 0;
    size_t m_chunk = 0;
    size_t m_used = 0;
};

class KvPacketCollector : public KvObserver {
public:
    void update(KvHandle<KvObject>, KvHandle<KvObject> argument) override {
        if (argument.isNull())
            return;
        auto* packet = dynamic_cast<KvDatagramPacket*>(argument.get());
        if (!packet)
            kvFuzzFail("the framer notified something that is not a packet");
        const KvHandle<KvByteArray>& data = packet->getData();
        if (data.isNull() || packet->getLength() == 0 ||
            uint64_t(packet->getOffset()) + packet->getLength() > data->size())
            kvFuzzFail("a packet without bytes, or with a window outside its bytes");
        packets.emplace_back(data->getData() + packet->getOffset(), packet->getLength());
    }
    std::vector<std::string> packets;
};

// Frames the stream read in the given chunks; the messages in the order delivered.
std::vector<std::string> frame(const std::string& bytes, std::vector<size_t> chunks) {
    KvHandle<KvInputStream> source(new KvChunkSource(bytes, std::move(chunks)));
    KvHandle<KvBufferedInputStream> framer(new KvBufferedInputStream(source));
    KvHandle<KvPacketCollector> collector(new KvPacketCollector);
    framer->attachObserver(KvHandle<KvObserver>(collector));
    // Every block() reads once; a stream of n bytes ends after at most n + 1 of them.
    size_t rounds = 0;
    while (framer->block()) {
        if (++rounds > bytes.size() + 1)
            kvFuzzFail("block() does not end when the connection has ended");
    }
    framer->detachObserver(collector.get());
    return collector->packets;
}

// Each message is the next slice of the stream, behind the CR LF keep-alives between messages.
void checkSlices(const std::string& bytes, const std::vector<std::string>& packets) {
    size_t at = 0;
    for (const std::string& packet : packets) {
        while (at < bytes.size() && (bytes[at] == '\r' || bytes[at] == '\n'))
            ++at;
        if (bytes.compare(at, packet.size(), packet) != 0)
            kvFuzzFail("a message is not the next slice of the stream", bytes.substr(at), packet);
        at += packet.size();
    }
}

// Plain reading through the buffer gives back the stream unchanged.
void checkReading(const std::string& bytes, const std::vector<size_t>& chunks) {
    KvHandle<KvInputStream> source(new KvChunkSource(bytes, chunks));
    KvHandle<KvBufferedInputStream> in(new KvBufferedInputStream(source, 16));
    std::string got;
    char buffer[512];
    for (size_t i = 0;; ++i) {
        int32_t n;
        if (i % 3 == 0) {
            int c = in->read();
            if (c < 0)
                break;
            got.push_back(static_cast<char>(c));
            continue;
        }
        in->mark(1024);
        n = in->read(buffer, static_cast<int32_t>(1 + chunks[i % chunks.size()] % sizeof buffer),
                     0);
        if (n < 0)
            break;
        if (i % 5 == 0 && n > 0) {
            in->reset(); // the same bytes again
            continue;
        }
        got.append(buffer, static_cast<size_t>(n));
        if (got.size() > bytes.size())
            break;
    }
    if (got != bytes)
        kvFuzzFail("reading through the buffer changes the stream", bytes, got);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvFuzzQuietLog();
    if (size < 2)
        return 0;
    // Two chunk sizes taken in turn: 1 to 256 bytes, and 1 to 1021 bytes.
    std::vector<size_t> chunks{1u + data[0], 1u + data[1] * 4u};
    std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::vector<std::string> chunked = frame(bytes, chunks);
    checkSlices(bytes, chunked);
    std::vector<std::string> whole = frame(bytes, {});
    if (whole != chunked) {
        std::string a, b;
        for (const std::string& p : whole)
            a += "[" + p + "]\n";
        for (const std::string& p : chunked)
            b += "[" + p + "]\n";
        kvFuzzFail("the messages depend on how the stream was chunked", a, b);
    }
    checkReading(bytes, chunks);
    return 0;
}
