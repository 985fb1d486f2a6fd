// An output stream that collects small writes in a byte array before passing them on.
#pragma once

#include "KvByteArray.h"
#include "KvOutputStream.h"

#include <cstdint>

class KvBufferedOutputStream : public KvOutputStream {
public:
    KvBufferedOutputStream(KvHandle<KvOutputStream> out, uint32_t size);
    // Passes on what it still holds.
    ~KvBufferedOutputStream() override;

    using KvOutputStream::write;
    void write(uint8_t byte) override;
    void write(const void* buffer, uint32_t length, uint32_t offset) override;
    // Tells what it holds of the bytes, or what its target kept of a run passed straight on.
    void writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                      uint32_t& taken) override;
    // Passes the buffered bytes on; the target's own flush is not called.
    void flush() override;

    uint32_t getCount() const { return m_count; }

private:
    KvHandle<KvByteArray> m_buffer;
    uint32_t m_count;
    KvHandle<KvOutputStream> m_out;
};
