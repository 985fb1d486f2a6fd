// The abstract byte source of the stack. Parsers need mark and reset for their look-ahead.
#pragma once

#include "KvObserver.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

class KvByteArray;

class KvInputStream : public KvObservable {
public:
    // Reads up to length bytes into buffer + offset: the count, or -1 at the end.
    virtual int32_t read(void* buffer, int32_t length, int32_t offset);
    // The next byte (0 to 255), or -1 at the end.
    virtual int read() = 0;
    virtual int64_t skip(int64_t count);
    virtual int32_t available() { return 0; }
    virtual bool markSupported() { return false; }
    virtual void mark(int32_t readLimit);
    virtual void reset();
    // Streams that hold their bytes in memory show those from the read position to the end, so
    // that scanners look ahead without a call per byte and move on with skip(); null for others.
    // A stream that shows its bytes supports mark and reset.
    virtual const char* peek(uint32_t& length) {
        length = 0;
        return nullptr;
    }

    // Reads into the array from offset; 0, or a length past the end, means to the end.
    int32_t read(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length);

    static KvHandle<KvInputStream> getGlobalStream();
    static KvHandle<KvInputStream> setGlobalStream(KvHandle<KvInputStream> stream);
};

// Byte-by-byte reading with mark and reset for the parsers' inner loops: straight from the bytes
// when the stream shows them (peek), else through the stream's own calls. When the cursor goes,
// the stream stands and is marked where it would be had every call gone to it. While a cursor
// lives, its stream must be read through it alone.
class KvInputCursor {
public:
    explicit KvInputCursor(KvInputStream& stream)
        : m_stream(stream), m_bytes(stream.peek(m_length)) {}
    KvInputCursor(const KvInputCursor&) = delete;
    KvInputCursor& operator=(const KvInputCursor&) = delete;
    ~KvInputCursor() { release(); }

    int read() {
        if (!m_bytes)
            return m_stream.read();
        return m_position < m_length ? static_cast<uint8_t>(m_bytes[m_position++]) : -1;
    }
    void mark() {
        if (!m_bytes) {
            m_stream.mark(1);
            return;
        }
        m_mark = m_position;
        m_marked = true;
    }
    // Marks the last byte taken from memory, where a mark before each read() would have left
    // it; only after bytes were taken.
    void markLast() {
        m_mark = m_position - 1;
        m_marked = true;
    }
    void reset() {
        if (!m_bytes) {
            m_stream.reset();
        } else if (m_marked) {
            m_position = m_mark;
        } else {
            // Back to the stream's own mark, which may lie before the bytes shown.
            m_stream.reset();
            m_bytes = m_stream.peek(m_length);
            m_position = 0;
        }
    }
    // The bytes not yet read when the cursor reads from memory (null otherwise), for a scanner
    // that takes a run of them at once with advance().
    const char* rest(uint32_t& length) const {
        length = m_bytes ? m_length - m_position : 0;
        return m_bytes ? m_bytes + m_position : nullptr;
    }
    void advance(uint32_t count) { m_position += count; }
    // Copies the run of bytes ahead that are not in stops (a character class), at most room of
    // them, to `to` and moves past them; only from memory, else nothing. Returns the count.
    template <class Stops> uint32_t takeRun(const Stops& stops, char* to, uint32_t room) {
        const uint32_t n = runLength(stops, room);
        if (n)
            std::memcpy(to, m_bytes + m_position, n);
        m_position += n;
        return n;
    }
    // Moves past the run of bytes ahead that are not in stops, as takeRun without the copy.
    template <class Stops> uint32_t skipRun(const Stops& stops) {
        const uint32_t n = runLength(stops, m_length);
        m_position += n;
        return n;
    }
    // Hands the stream back in the state described above; the cursor is then spent.
    void release() {
        if (!m_bytes)
            return;
        if (m_marked) {
            if (m_mark)
                m_stream.skip(m_mark);
            m_stream.mark(1);
            if (m_position > m_mark)
                m_stream.skip(m_position - m_mark);
        } else if (m_position) {
            m_stream.skip(m_position);
        }
        m_bytes = nullptr;
        m_length = 0;
    }

private:
    template <class Stops> uint32_t runLength(const Stops& stops, uint32_t room) const {
        if (!m_bytes)
            return 0;
        const char* from = m_bytes + m_position;
        const uint32_t limit = std::min(room, m_length - m_position);
        uint32_t n = 0;
        while (n < limit && !stops.contains(static_cast<uint8_t>(from[n])))
            ++n;
        return n;
    }

    KvInputStream& m_stream;
    uint32_t m_length = 0;
    const char* m_bytes;
    uint32_t m_position = 0;
    uint32_t m_mark = 0;
    bool m_marked = false;
};
