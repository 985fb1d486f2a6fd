// Short copies are memmove-safe: the write-back stream and the inline strings copy texts that may
// lie in their own buffers.
#include "KvShortCopy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(KvShortCopy, EveryLengthEveryOverlapAsMemmove) {
    for (uint32_t length = 1; length <= 32; ++length) {
        for (int shift = -9; shift <= 9; ++shift) {
            char expected[80];
            char got[80];
            for (int i = 0; i < 80; ++i)
                expected[i] = got[i] = static_cast<char>('A' + i % 50);
            std::memmove(expected + 20 + shift, expected + 20, length);
            KvShortCopy::copy(got + 20 + shift, got + 20, length);
            EXPECT_EQ(std::string(got, 80), std::string(expected, 80))
                << "length " << length << " shift " << shift;
        }
    }
}
