// The write-back stream of a message: gathers the many small writes of a message on the stack and
// hands them on in few large ones. A byte-array stream then grows once instead of once per 256
// bytes, and the target's own write runs a few times per message instead of a few times per header.
// While a message's lock is held it is put on hold and writes nothing to the target, which may
// block or call into another message: what does not fit on the stack waits on the heap.
// Once a write to the target fails nothing more is handed on, so that the target keeps a prefix of
// the message, as it would unbuffered.
#pragma once

#include "KvOutputStream.h"
#include "KvShortCopy.h"

#include <cstdint>
#include <cstring>
#include <string>

class KvSipGatheringStream final : public KvOutputStream {
public:
    explicit KvSipGatheringStream(KvOutputStream& target) : m_target(target) {}
    ~KvSipGatheringStream() override = default;

    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        // One test for the usual case: a few bytes that fit.
        if (length - 1 < sizeof(m_bytes) - m_count && buffer) {
            copy(m_bytes + m_count, static_cast<const char*>(buffer) + offset, length);
            m_count += length;
            return;
        }
        if (buffer && length)
            writeBeyond(static_cast<const char*>(buffer) + offset, length);
    }
    void write(uint8_t byte) override {
        if (m_count == sizeof(m_bytes))
            drain();
        m_bytes[m_count++] = static_cast<char>(byte);
    }
    void flush() override {
        drain();
        m_target.flush();
    }
    void hold() { m_holding = true; }
    // Ends the hold and hands on what waited.
    void release() {
        m_holding = false;
        drain();
    }
    // Hands on what is gathered without flushing the target; on hold, keeps it on the heap. Out of
    // line, so that the usual writes stay small enough to be inlined.
    [[gnu::noinline]] void drain();

private:
    // Out of line, so that the usual write needs no frame of its own.
    [[gnu::noinline]] void writeBeyond(const char* bytes, uint32_t length);
    void pass(const char* bytes, uint32_t length);

    // Most writes are a few bytes (": ", CR LF, a token): copied in place instead of by a call.
    static void copy(char* to, const char* from, uint32_t length) {
        if (length > 32)
            std::memcpy(to, from, length);
        else
            KvShortCopy::copy(to, from, length);
    }

    KvOutputStream& m_target;
    bool m_holding = false;
    bool m_failed = false; // a write to the target threw: what follows it must not reach it
    std::string m_waiting; // gathered on hold beyond the stack's bytes, in order before them
    uint32_t m_count = 0;
    char m_bytes[2048];
};
