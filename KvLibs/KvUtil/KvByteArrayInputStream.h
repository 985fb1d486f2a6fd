// Reads a window of a byte array, with mark and reset.
#pragma once

#include "KvByteArray.h"
#include "KvInputStream.h"

class KvByteArrayInputStream : public KvInputStream {
public:
    // A length of 0, or one past the array, reads to the array's end; offsets are clamped to it.
    KvByteArrayInputStream(const KvHandle<KvByteArray>& array, uint32_t offset = 0,
                           uint32_t length = 0);
    ~KvByteArrayInputStream() override = default;

    int read() override {
        if (m_position >= m_end)
            return -1;
        return static_cast<uint8_t>(m_bytes[m_position++]);
    }
    int32_t read(void* buffer, int32_t length, int32_t offset) override;
    int64_t skip(int64_t count) override;
    int32_t available() override { return static_cast<int32_t>(m_end - m_position); }
    bool markSupported() override { return true; }
    void mark(int32_t) override { m_mark = m_position; }
    void reset() override { m_position = m_mark; }
    const char* peek(uint32_t& length) override {
        length = m_end - m_position;
        return m_bytes ? m_bytes + m_position : nullptr;
    }

    uint32_t getPosition() const { return m_position; }

private:
    KvHandle<KvByteArray> m_array;
    const char* m_bytes;
    uint32_t m_position;
    uint32_t m_end;
    uint32_t m_mark;
};
