#include "KvMD5.h"

#include <cstring>

namespace {

inline uint32_t load32(const uint8_t* p) {
    // Assembled byte by byte so that the result does not depend on the machine's byte order; the
    // compiler turns this into a single load on little-endian processors.
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void store32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t rotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// The four auxiliary functions of RFC 1321, in forms that need fewer operations.
#define KV_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define KV_MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define KV_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define KV_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

#define KV_MD5_STEP(f, a, b, c, d, x, t, s)                                                        \
    (a) += f((b), (c), (d)) + (x) + static_cast<uint32_t>(t);                                      \
    (a) = rotateLeft((a), (s)) + (b)

} // namespace

void KvMD5::init() {
    m_count[0] = m_count[1] = 0;
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
}

void KvMD5::transform(const uint8_t* block, size_t count) {
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (; count > 0; --count, block += 64) {
        const uint32_t x0 = load32(block), x1 = load32(block + 4), x2 = load32(block + 8),
                       x3 = load32(block + 12), x4 = load32(block + 16), x5 = load32(block + 20),
                       x6 = load32(block + 24), x7 = load32(block + 28), x8 = load32(block + 32),
                       x9 = load32(block + 36), x10 = load32(block + 40), x11 = load32(block + 44),
                       x12 = load32(block + 48), x13 = load32(block + 52), x14 = load32(block + 56),
                       x15 = load32(block + 60);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        KV_MD5_STEP(KV_MD5_F, a, b, c, d, x0, 0xd76aa478, 7);
        KV_MD5_STEP(KV_MD5_F, d, a, b, c, x1, 0xe8c7b756, 12);
        KV_MD5_STEP(KV_MD5_F, c, d, a, b, x2, 0x242070db, 17);
        KV_MD5_STEP(KV_MD5_F, b, c, d, a, x3, 0xc1bdceee, 22);
        KV_MD5_STEP(KV_MD5_F, a, b, c, d, x4, 0xf57c0faf, 7);
        KV_MD5_STEP(KV_MD5_F, d, a, b, c, x5, 0x4787c62a, 12);
        KV_MD5_STEP(KV_MD5_F, c, d, a, b, x6, 0xa8304613, 17);
        KV_MD5_STEP(KV_MD5_F, b, c, d, a, x7, 0xfd469501, 22);
        KV_MD5_STEP(KV_MD5_F, a, b, c, d, x8, 0x698098d8, 7);
        KV_MD5_STEP(KV_MD5_F, d, a, b, c, x9, 0x8b44f7af, 12);
        KV_MD5_STEP(KV_MD5_F, c, d, a, b, x10, 0xffff5bb1, 17);
        KV_MD5_STEP(KV_MD5_F, b, c, d, a, x11, 0x895cd7be, 22);
        KV_MD5_STEP(KV_MD5_F, a, b, c, d, x12, 0x6b901122, 7);
        KV_MD5_STEP(KV_MD5_F, d, a, b, c, x13, 0xfd987193, 12);
        KV_MD5_STEP(KV_MD5_F, c, d, a, b, x14, 0xa679438e, 17);
        KV_MD5_STEP(KV_MD5_F, b, c, d, a, x15, 0x49b40821, 22);

        KV_MD5_STEP(KV_MD5_G, a, b, c, d, x1, 0xf61e2562, 5);
        KV_MD5_STEP(KV_MD5_G, d, a, b, c, x6, 0xc040b340, 9);
        KV_MD5_STEP(KV_MD5_G, c, d, a, b, x11, 0x265e5a51, 14);
        KV_MD5_STEP(KV_MD5_G, b, c, d, a, x0, 0xe9b6c7aa, 20);
        KV_MD5_STEP(KV_MD5_G, a, b, c, d, x5, 0xd62f105d, 5);
        KV_MD5_STEP(KV_MD5_G, d, a, b, c, x10, 0x02441453, 9);
        KV_MD5_STEP(KV_MD5_G, c, d, a, b, x15, 0xd8a1e681, 14);
        KV_MD5_STEP(KV_MD5_G, b, c, d, a, x4, 0xe7d3fbc8, 20);
        KV_MD5_STEP(KV_MD5_G, a, b, c, d, x9, 0x21e1cde6, 5);
        KV_MD5_STEP(KV_MD5_G, d, a, b, c, x14, 0xc33707d6, 9);
        KV_MD5_STEP(KV_MD5_G, c, d, a, b, x3, 0xf4d50d87, 14);
        KV_MD5_STEP(KV_MD5_G, b, c, d, a, x8, 0x455a14ed, 20);
        KV_MD5_STEP(KV_MD5_G, a, b, c, d, x13, 0xa9e3e905, 5);
        KV_MD5_STEP(KV_MD5_G, d, a, b, c, x2, 0xfcefa3f8, 9);
        KV_MD5_STEP(KV_MD5_G, c, d, a, b, x7, 0x676f02d9, 14);
        KV_MD5_STEP(KV_MD5_G, b, c, d, a, x12, 0x8d2a4c8a, 20);

        KV_MD5_STEP(KV_MD5_H, a, b, c, d, x5, 0xfffa3942, 4);
        KV_MD5_STEP(KV_MD5_H, d, a, b, c, x8, 0x8771f681, 11);
        KV_MD5_STEP(KV_MD5_H, c, d, a, b, x11, 0x6d9d6122, 16);
        KV_MD5_STEP(KV_MD5_H, b, c, d, a, x14, 0xfde5380c, 23);
        KV_MD5_STEP(KV_MD5_H, a, b, c, d, x1, 0xa4beea44, 4);
        KV_MD5_STEP(KV_MD5_H, d, a, b, c, x4, 0x4bdecfa9, 11);
        KV_MD5_STEP(KV_MD5_H, c, d, a, b, x7, 0xf6bb4b60, 16);
        KV_MD5_STEP(KV_MD5_H, b, c, d, a, x10, 0xbebfbc70, 23);
        KV_MD5_STEP(KV_MD5_H, a, b, c, d, x13, 0x289b7ec6, 4);
        KV_MD5_STEP(KV_MD5_H, d, a, b, c, x0, 0xeaa127fa, 11);
        KV_MD5_STEP(KV_MD5_H, c, d, a, b, x3, 0xd4ef3085, 16);
        KV_MD5_STEP(KV_MD5_H, b, c, d, a, x6, 0x04881d05, 23);
        KV_MD5_STEP(KV_MD5_H, a, b, c, d, x9, 0xd9d4d039, 4);
        KV_MD5_STEP(KV_MD5_H, d, a, b, c, x12, 0xe6db99e5, 11);
        KV_MD5_STEP(KV_MD5_H, c, d, a, b, x15, 0x1fa27cf8, 16);
        KV_MD5_STEP(KV_MD5_H, b, c, d, a, x2, 0xc4ac5665, 23);

        KV_MD5_STEP(KV_MD5_I, a, b, c, d, x0, 0xf4292244, 6);
        KV_MD5_STEP(KV_MD5_I, d, a, b, c, x7, 0x432aff97, 10);
        KV_MD5_STEP(KV_MD5_I, c, d, a, b, x14, 0xab9423a7, 15);
        KV_MD5_STEP(KV_MD5_I, b, c, d, a, x5, 0xfc93a039, 21);
        KV_MD5_STEP(KV_MD5_I, a, b, c, d, x12, 0x655b59c3, 6);
        KV_MD5_STEP(KV_MD5_I, d, a, b, c, x3, 0x8f0ccc92, 10);
        KV_MD5_STEP(KV_MD5_I, c, d, a, b, x10, 0xffeff47d, 15);
        KV_MD5_STEP(KV_MD5_I, b, c, d, a, x1, 0x85845dd1, 21);
        KV_MD5_STEP(KV_MD5_I, a, b, c, d, x8, 0x6fa87e4f, 6);
        KV_MD5_STEP(KV_MD5_I, d, a, b, c, x15, 0xfe2ce6e0, 10);
        KV_MD5_STEP(KV_MD5_I, c, d, a, b, x6, 0xa3014314, 15);
        KV_MD5_STEP(KV_MD5_I, b, c, d, a, x13, 0x4e0811a1, 21);
        KV_MD5_STEP(KV_MD5_I, a, b, c, d, x4, 0xf7537e82, 6);
        KV_MD5_STEP(KV_MD5_I, d, a, b, c, x11, 0xbd3af235, 10);
        KV_MD5_STEP(KV_MD5_I, c, d, a, b, x2, 0x2ad7d2bb, 15);
        KV_MD5_STEP(KV_MD5_I, b, c, d, a, x9, 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    m_state[0] = a;
    m_state[1] = b;
    m_state[2] = c;
    m_state[3] = d;
}

void KvMD5::update(const void* bytes, size_t length) {
    if (!bytes || length == 0)
        return;
    const uint8_t* input = static_cast<const uint8_t*>(bytes);
    size_t held = (m_count[0] >> 3) & 0x3f;
    uint64_t bits = (static_cast<uint64_t>(m_count[1]) << 32 | m_count[0]) +
                    (static_cast<uint64_t>(length) << 3);
    m_count[0] = static_cast<uint32_t>(bits);
    m_count[1] = static_cast<uint32_t>(bits >> 32);

    if (held > 0) {
        size_t room = 64 - held;
        if (length < room) {
            std::memcpy(m_buffer + held, input, length);
            return;
        }
        std::memcpy(m_buffer + held, input, room);
        transform(m_buffer, 1);
        input += room;
        length -= room;
    }
    // Whole blocks straight from the caller's bytes.
    if (length >= 64) {
        transform(input, length / 64);
        input += length & ~size_t{63};
        length &= 63;
    }
    if (length > 0)
        std::memcpy(m_buffer, input, length);
}

void KvMD5::final(uint8_t digest[kDigestSize]) {
    // Padding: a 1 bit, zeros up to 56 bytes of the last block, then the length in bits.
    size_t held = (m_count[0] >> 3) & 0x3f;
    m_buffer[held++] = 0x80;
    if (held > 56) {
        std::memset(m_buffer + held, 0, 64 - held);
        transform(m_buffer, 1);
        held = 0;
    }
    std::memset(m_buffer + held, 0, 56 - held);
    store32(m_buffer + 56, m_count[0]);
    store32(m_buffer + 60, m_count[1]);
    transform(m_buffer, 1);
    for (int i = 0; i < 4; ++i)
        store32(digest + 4 * i, m_state[i]);
    // Nothing of the hashed text may stay behind in the context; called through a volatile
    // pointer so that the compiler cannot drop the clearing as a dead store.
    static void* (*const volatile wipe)(void*, int, size_t) = std::memset;
    wipe(this, 0, sizeof *this);
}

KvHandle<KvByteArray> KvMD5::digest(const KvHandle<KvByteArray>& array) {
    KvMD5 context;
    if (!array.isNull())
        context.update(array->getData(), array->size());
    KvHandle<KvByteArray> result = KvByteArray::sCreate(kDigestSize);
    context.final(reinterpret_cast<uint8_t*>(result->getData()));
    return result;
}

KvString toHex(const KvHandle<KvByteArray>& array) {
    static const char digits[] = "0123456789abcdef";
    uint32_t size = array.isNull() ? 0 : array->size();
    // Written before any handle holds the buffer: only then may it be written through lockBuffer.
    const uint32_t capacity = KvStringBuffer::sWithTerminator(uint64_t{2} * size);
    KvStringBuffer* buffer = KvStringBuffer::create(nullptr, 0, capacity);
    char* out = KvStringBuffer::lockBuffer(buffer, capacity);
    const auto* bytes = size ? reinterpret_cast<const uint8_t*>(array->getData()) : nullptr;
    for (uint32_t i = 0; i < size; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 0x0f];
    }
    out[2 * size] = '\0';
    KvStringBuffer::releaseBuffer(buffer, static_cast<int32_t>(2 * size));
    return KvString(buffer);
}

namespace {

uint8_t hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<uint8_t>(c - 'a' + 10);
    return 0;
}

} // namespace

uint8_t hexPairToByte(const char* pair) {
    if (!pair || pair[0] == '\0')
        return 0;
    return static_cast<uint8_t>(hexDigitValue(pair[0]) << 4 | hexDigitValue(pair[1]));
}
