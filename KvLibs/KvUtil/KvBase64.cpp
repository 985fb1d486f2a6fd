#include "KvBase64.h"

#include <array>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Character to its six-bit value; -1 for characters outside the alphabet.
constexpr std::array<int8_t, 256> makeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& entry : table)
        entry = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr std::array<int8_t, 256> kDecodeTable = makeDecodeTable();

// A fresh buffer of the given capacity that no handle holds yet, so it may be written directly.
char* reserve(KvStringBuffer*& buffer, uint32_t capacity) {
    buffer = KvStringBuffer::create(nullptr, 0, capacity);
    return KvStringBuffer::lockBuffer(buffer, capacity);
}

} // namespace

KvString base64Encode(const char* text) {
    size_t length = text ? std::strlen(text) : 0;
    const auto* in = reinterpret_cast<const uint8_t*>(text);
    const uint64_t encodedLength = (uint64_t{length} + 2) / 3 * 4;
    KvStringBuffer* buffer;
    char* out = reserve(buffer, KvStringBuffer::sWithTerminator(encodedLength));
    char* p = out;
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        uint32_t group = static_cast<uint32_t>(in[i]) << 16 | in[i + 1] << 8 | in[i + 2];
        *p++ = kAlphabet[group >> 18];
        *p++ = kAlphabet[(group >> 12) & 0x3f];
        *p++ = kAlphabet[(group >> 6) & 0x3f];
        *p++ = kAlphabet[group & 0x3f];
    }
    if (length - i == 1) {
        uint32_t group = static_cast<uint32_t>(in[i]) << 16;
        *p++ = kAlphabet[group >> 18];
        *p++ = kAlphabet[(group >> 12) & 0x3f];
        *p++ = '=';
        *p++ = '=';
    } else if (length - i == 2) {
        uint32_t group = static_cast<uint32_t>(in[i]) << 16 | in[i + 1] << 8;
        *p++ = kAlphabet[group >> 18];
        *p++ = kAlphabet[(group >> 12) & 0x3f];
        *p++ = kAlphabet[(group >> 6) & 0x3f];
        *p++ = '=';
    }
    *p = '\0';
    KvStringBuffer::releaseBuffer(buffer, static_cast<int32_t>(p - out));
    return KvString(buffer);
}

KvString base64Decode(const char* text) {
    size_t length = text ? std::strlen(text) : 0;
    KvStringBuffer* buffer;
    char* out = reserve(buffer, static_cast<uint32_t>(length / 4 * 3 + 3));
    char* p = out;
    uint32_t group = 0;
    int held = 0; // six-bit values collected in the current group
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '=')
            break;
        int8_t value = kDecodeTable[static_cast<uint8_t>(c)];
        if (value < 0)
            continue;
        group = group << 6 | static_cast<uint32_t>(value);
        if (++held == 4) {
            *p++ = static_cast<char>(group >> 16);
            *p++ = static_cast<char>(group >> 8);
            *p++ = static_cast<char>(group);
            group = 0;
            held = 0;
        }
    }
    // A group cut short by "=" or by the end of the text: two values hold one byte, three two.
    if (held == 2) {
        *p++ = static_cast<char>(group >> 4);
    } else if (held == 3) {
        *p++ = static_cast<char>(group >> 10);
        *p++ = static_cast<char>(group >> 2);
    }
    *p = '\0';
    KvStringBuffer::releaseBuffer(buffer, static_cast<int32_t>(p - out));
    return KvString(buffer);
}
