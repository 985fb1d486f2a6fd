#include "KvMD5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string md5Hex(const std::string& text) {
    return toHex(
               KvMD5::digest(KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data())))
        .data();
}

TEST(KvMD5, Rfc1321TestSuite) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Hex("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(KvMD5, EmptyAndNullArraysHashAsNoBytes) {
    EXPECT_STREQ(toHex(KvMD5::digest(KvHandle<KvByteArray>())).data(),
                 "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_STREQ(toHex(KvMD5::digest(KvByteArray::sCreate(0))).data(),
                 "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(KvMD5::digest(KvByteArray::sFromString("abc"))->size(), 16u);
}

TEST(KvMD5, PiecewiseUpdatesMatchOneUpdate) {
    std::string data(1000000, 'a');
    KvMD5 whole;
    whole.update(data.data(), data.size());
    uint8_t expected[16];
    whole.final(expected);
    EXPECT_STREQ(toHex(KvByteArray::sCreate(16, expected)).data(),
                 "7707d6ae4e027c70eea2a935c2296f21");

    // Chunks that straddle block and padding boundaries in every way.
    for (size_t chunk : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u, 4096u}) {
        KvMD5 pieces;
        for (size_t offset = 0; offset < data.size(); offset += chunk)
            pieces.update(data.data() + offset, std::min(chunk, data.size() - offset));
        uint8_t digest[16];
        pieces.final(digest);
        EXPECT_EQ(std::memcmp(digest, expected, 16), 0) << "chunk " << chunk;
    }
    // Lengths around the padding boundary.
    for (size_t length = 50; length < 140; ++length) {
        std::string text(length, 'x');
        KvMD5 a, b;
        a.update(text.data(), length);
        b.update(text.data(), length / 2);
        b.update(nullptr, 5); // no bytes: no change
        b.update(text.data() + length / 2, length - length / 2);
        uint8_t da[16], db[16];
        a.final(da);
        b.final(db);
        EXPECT_EQ(std::memcmp(da, db, 16), 0) << "length " << length;
    }
}

TEST(KvMD5, FinalClearsTheContext) {
    KvMD5 context;
    context.update("secret", 6);
    uint8_t digest[16];
    context.final(digest);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&context);
    for (size_t i = 0; i < sizeof context; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
    context.init();
    context.update("abc", 3);
    context.final(digest);
    EXPECT_STREQ(toHex(KvByteArray::sCreate(16, digest)).data(),
                 "900150983cd24fb0d6963f7d28e17f72");
}

TEST(KvHex, ToHexWritesLowerCasePairs) {
    const uint8_t bytes[] = {0x00, 0x0f, 0x7e, 0xa0, 0xff};
    KvString text = toHex(KvByteArray::sCreate(5, bytes));
    EXPECT_STREQ(text.data(), "000f7ea0ff");
    EXPECT_EQ(text.length(), 10u);
    KvString empty = toHex(KvByteArray::sCreate(0));
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty == "");
    EXPECT_TRUE(toHex(KvHandle<KvByteArray>()).isEmpty());
}

TEST(KvHex, HexPairToByteReadsBothCases) {
    EXPECT_EQ(hexPairToByte("7E"), 126);
    EXPECT_EQ(hexPairToByte("7e"), 126);
    EXPECT_EQ(hexPairToByte("3a"), 0x3a); // as in an escaped ":" ("%3a")
    EXPECT_EQ(hexPairToByte("3A"), 0x3a);
    EXPECT_EQ(hexPairToByte("00"), 0);
    EXPECT_EQ(hexPairToByte("ff"), 255);
    EXPECT_EQ(hexPairToByte("Ff"), 255);
    EXPECT_EQ(hexPairToByte("a"), 0xa0); // the terminator counts as 0
    EXPECT_EQ(hexPairToByte("zz"), 0);
    EXPECT_EQ(hexPairToByte(""), 0);
    EXPECT_EQ(hexPairToByte(nullptr), 0);
    for (int value = 0; value < 256; ++value) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", value);
        ASSERT_EQ(hexPairToByte(pair), value);
        std::snprintf(pair, sizeof pair, "%02X", value);
        ASSERT_EQ(hexPairToByte(pair), value);
    }
}

} // namespace
