// The growable in-memory output stream that messages are serialised into before they are sent.
#pragma once

#include "KvByteArray.h"
#include "KvOutputStream.h"

#include <cstdint>

class KvByteArrayOutputStream : public KvOutputStream {
public:
    // No buffer is made for an initial size of 0 until the first write.
    explicit KvByteArrayOutputStream(uint32_t initialSize = 0);
    ~KvByteArrayOutputStream() override;

    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override;
    void write(uint8_t byte) override;

    // A new array holding the bytes written so far.
    KvHandle<KvByteArray> toByteArray() const;
    void writeTo(KvOutputStream& stream) const;
    uint32_t getCount() const { return m_count; }

private:
    // Makes room for `length` more bytes, in whole multiples of 256. Returns the buffer it
    // replaced, which the bytes being written may lie in (the stream written onto itself).
    KvHandle<KvByteArray> grow(uint32_t length);

    KvHandle<KvByteArray> m_buffer;
    uint32_t m_count;
};
