#include "KvBase64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

std::string decoded(const char* text) {
    KvString result = base64Decode(text);
    return std::string(result.data() ? result.data() : "", result.length());
}

TEST(KvBase64, Rfc4648TestVectors) {
    const char* vectors[][2] = {{"", ""},
                                {"f", "Zg=="},
                                {"fo", "Zm8="},
                                {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="},
                                {"fooba", "Zm9vYmE="},
                                {"foobar", "Zm9vYmFy"}};
    for (const auto& vector : vectors) {
        KvString encoded = base64Encode(vector[0]);
        EXPECT_TRUE(encoded == vector[1]) << vector[0];
        EXPECT_EQ(encoded.length(), std::strlen(vector[1]));
        EXPECT_EQ(decoded(vector[1]), vector[0]) << vector[1];
    }
    EXPECT_TRUE(base64Encode(nullptr).isEmpty());
    EXPECT_TRUE(base64Decode(nullptr).isEmpty());
}

TEST(KvBase64, EveryByteValueRoundTrips) {
    std::string bytes;
    for (int i = 1; i < 256; ++i)
        bytes += static_cast<char>(i);
    for (size_t length = 0; length <= bytes.size(); length += 7) {
        std::string part = bytes.substr(bytes.size() - length);
        KvString encoded = base64Encode(part.c_str());
        EXPECT_EQ(encoded.length() % 4, 0u);
        EXPECT_EQ(decoded(encoded.data()), part) << "length " << length;
    }
}

TEST(KvBase64, DecodedBytesMayHoldZeros) {
    KvString result = base64Decode("AAEA");
    ASSERT_EQ(result.length(), 3u);
    EXPECT_EQ(result.data()[0], 0);
    EXPECT_EQ(result.data()[1], 1);
    EXPECT_EQ(result.data()[2], 0);
    EXPECT_EQ(result.data()[3], 0); // and the terminator
}

TEST(KvBase64, IncompleteAndDamagedTextNeverReadsPastItsEnd) {
    // A last group cut short: two characters give one byte, three give two, one gives none.
    EXPECT_EQ(decoded("Zg"), "f");
    EXPECT_EQ(decoded("Zm8"), "fo");
    EXPECT_EQ(decoded("Zm9vY"), "foo");
    EXPECT_EQ(decoded("Z"), "");
    // "=" ends the decoding wherever it stands.
    EXPECT_EQ(decoded("Zg==Zm9v"), "f");
    EXPECT_EQ(decoded("Zm8=Zm9v"), "fo");
    EXPECT_EQ(decoded("=Zm9v"), "");
    // Characters outside the alphabet are passed over.
    EXPECT_EQ(decoded("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(decoded("Zm 9v*Ym\xff"
                      "Fy"),
              "foobar");
    EXPECT_EQ(decoded("!!!!"), "");
    // Heap copies of exactly the text's size, so that a read behind it is caught by the sanitizer.
    for (const char* text : {"Zg", "Zm8", "Zm9vY", "Q", "QUJD", "QUJDRA"}) {
        std::unique_ptr<char[]> copy(new char[std::strlen(text) + 1]);
        std::strcpy(copy.get(), text);
        base64Decode(copy.get());
    }
}

TEST(KvBase64, NonceSizedText) {
    const char* nonce = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
    KvString encoded = base64Encode(nonce);
    EXPECT_TRUE(encoded == "ZGNkOThiNzEwMmRkMmYwZThiMTFkMGY2MDBiZmIwYzA5Mw==");
    EXPECT_EQ(decoded(encoded.data()), nonce);
}

} // namespace
