// Copies of a few bytes without a call into the C library: tokens, names and separators are
// mostly shorter than a call to memcpy costs.
#pragma once

#include <cstdint>
#include <cstring>

namespace KvShortCopy {

// A length between sizeof(Word) and twice that: the first and the last word, which may overlap.
template <class Word> inline void copyEnds(char* to, const char* from, uint32_t length) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof(Word));
    std::memcpy(&tail, from + length - sizeof(Word), sizeof(Word));
    std::memcpy(to, &head, sizeof(Word));
    std::memcpy(to + length - sizeof(Word), &tail, sizeof(Word));
}

// 1 to 32 bytes. Every byte is loaded before any is stored, so the two runs may overlap.
inline void copy(char* to, const char* from, uint32_t length) {
    if (length >= 16) {
        uint64_t a, b, c, d;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + 8, 8);
        std::memcpy(&c, from + length - 16, 8);
        std::memcpy(&d, from + length - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + 8, &b, 8);
        std::memcpy(to + length - 16, &c, 8);
        std::memcpy(to + length - 8, &d, 8);
    } else if (length >= 8) {
        copyEnds<uint64_t>(to, from, length);
    } else if (length >= 4) {
        copyEnds<uint32_t>(to, from, length);
    } else {
        const char first = from[0];
        const char middle = from[length / 2];
        const char last = from[length - 1];
        to[0] = first;
        to[length / 2] = middle;
        to[length - 1] = last;
    }
}

} // namespace KvShortCopy
