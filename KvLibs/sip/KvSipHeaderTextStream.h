// A mark-and-reset input stream over text that someone else owns, for parsing a header line or a
// value without copying it into a byte array. The text must outlive the stream.
#pragma once

#include "KvInputStream.h"

#include <cstdint>
#include <cstring>

class KvSipHeaderTextStream : public KvInputStream {
public:
    KvSipHeaderTextStream(const char* text, uint32_t length)
        : m_text(text), m_position(0), m_end(text ? length : 0), m_mark(0) {}
    ~KvSipHeaderTextStream() override = default;

    int read() override {
        if (m_position >= m_end)
            return -1;
        return static_cast<uint8_t>(m_text[m_position++]);
    }
    int32_t read(void* buffer, int32_t length, int32_t offset) override {
        if (m_position >= m_end)
            return -1;
        if (length <= 0)
            return 0;
        uint32_t count = m_end - m_position;
        if (count > static_cast<uint32_t>(length))
            count = static_cast<uint32_t>(length);
        std::memcpy(static_cast<char*>(buffer) + offset, m_text + m_position, count);
        m_position += count;
        return static_cast<int32_t>(count);
    }
    int64_t skip(int64_t count) override {
        if (count <= 0)
            return 0;
        uint32_t rest = m_end - m_position;
        uint32_t step = count < rest ? static_cast<uint32_t>(count) : rest;
        m_position += step;
        return step;
    }
    int32_t available() override { return static_cast<int32_t>(m_end - m_position); }
    bool markSupported() override { return true; }
    void mark(int32_t) override { m_mark = m_position; }
    void reset() override { m_position = m_mark; }
    const char* peek(uint32_t& length) override {
        length = m_end - m_position;
        return m_text ? m_text + m_position : nullptr;
    }

private:
    const char* m_text;
    uint32_t m_position;
    uint32_t m_end;
    uint32_t m_mark;
};
