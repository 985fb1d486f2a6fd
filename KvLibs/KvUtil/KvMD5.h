// MD5 (RFC 1321) and the hexadecimal form in which the stack writes digests.
#pragma once

#include "KvByteArray.h"
#include "KvStringBuffer.h"

#include <cstddef>
#include <cstdint>

class KvMD5 {
public:
    static constexpr uint32_t kDigestSize = 16;

    KvMD5() { init(); }

    void init();
    void update(const void* bytes, size_t length);
    // Writes the 16-byte digest, then clears the whole context (init before reusing it).
    void final(uint8_t digest[kDigestSize]);

    // A new 16-byte array holding the digest of the array's bytes (of no bytes for a null array).
    static KvHandle<KvByteArray> digest(const KvHandle<KvByteArray>& array);

private:
    void transform(const uint8_t* blocks, size_t count);

    uint32_t m_state[4];
    uint32_t m_count[2]; // number of bits, low word first
    uint8_t m_buffer[64];
};

// Two lower-case hexadecimal digits per byte, with no separators.
KvString toHex(const KvHandle<KvByteArray>& array);
// The value of a two-digit hexadecimal number, high digit first; either letter case is accepted.
// A character that is no hexadecimal digit counts as 0, and nothing is read behind a NUL.
uint8_t hexPairToByte(const char* pair);
