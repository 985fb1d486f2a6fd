// Faults that the fuzz targets found in the SDP fields: what a field reads it must write as text
// that reads back.
#include "KvSdp.h"
#include "KvSdpReader.h"

#include "KvSdpTestSupport.h"

#include <gtest/gtest.h>

#include <string_view>

// "k=clear:" holds the method clear with an empty key; written without its colon it would read
// back as an invalid key field.
TEST(KvSdpKeyFieldFuzz, EmptyKeyKeepsItsColon) {
    for (const char* text : {"clear:", "base64:"}) {
        KvSdpKeyField field(text);
        std::string line = kvSerialized(field);
        EXPECT_EQ(line, std::string("k=") + text + "\r\n");
        KvSdpKeyField again(line.substr(2, line.size() - 4).c_str());
        EXPECT_EQ(kvSerialized(again), line);
    }
    EXPECT_EQ(kvSerialized(KvSdpKeyField("prompt")), "k=prompt\r\n");
}

// An empty view may carry no data pointer at all (caught by the undefined-behaviour sanitizer).
TEST(KvSdpReaderFuzz, EmptyTextGivesTheNullString) {
    EXPECT_TRUE(KvSdpReader::toString(std::string_view()).isNull());
    EXPECT_TRUE(KvSdpReader::toString(std::string_view("\0x", 2)).isNull());
    EXPECT_STREQ(KvSdpReader::toString(std::string_view("ab\0c", 4)).c_str(), "ab");
}
