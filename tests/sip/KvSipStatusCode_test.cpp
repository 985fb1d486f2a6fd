#include "KvSipStatusCode.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Spelled as peers have always received them, including the ones that differ from RFC 3261.
const std::vector<std::pair<int32_t, std::string>> kPhrases = {
    {100, "Trying"},
    {180, "Ringing"},
    {181, "Call Is Being Forwarded"},
    {182, "Queued"},
    {183, "Session Progress"},
    {200, "Ok"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Moved Temporarily"},
    {303, "See Other"},
    {305, "Use Proxy"},
    {380, "Alternative Service"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {413, "Request Message Body Too Large"},
    {414, "Request-URI Too Large"},
    {415, "Unsupported Media Type"},
    {416, "Unsupported URI Scheme"},
    {420, "Bad Extension"},
    {421, "Extension Required"},
    {422, "Session Timer Too Small"},
    {480, "Temporarily not available"},
    {481, "Call/Transaction Does Not Exist"},
    {482, "Loop Detected"},
    {483, "Too Many Hops"},
    {484, "Address Incomplete"},
    {485, "Ambiguous"},
    {486, "Busy Here"},
    {487, "Transaction Cancelled"},
    {488, "Not Acceptable Here"},
    {491, "Request Pending"},
    {493, "Undecipherable"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "SIP Version not supported"},
    {513, "Message Too Large"},
    {600, "Busy Everywhere"},
    {603, "Decline"},
    {604, "Does not exist anywhere"},
    {606, "Not Acceptable"},
};

bool hasOwnRow(int32_t code) {
    for (const auto& row : kPhrases) {
        if (row.first == code) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(KvSipStatusCode, EveryListedCodeHasItsPhrase) {
    for (const auto& [code, phrase] : kPhrases) {
        EXPECT_EQ(std::string(reasonPhraseForCode(code)), phrase) << "code " << code;
    }
}

TEST(KvSipStatusCode, UnlistedCodesFallBackToTheirClass) {
    const char* fallbacks[] = {
        "Unknown 100 Class Response", "Unknown 200 Class Response", "Unknown 300 Class Response",
        "Unknown 400 Class Response", "Unknown 500 Class Response", "Unknown 600 Class Response",
    };
    // Every code of classes 1 to 6 without a row of its own, inside or outside the listed range.
    for (int32_t code = 100; code <= 699; ++code) {
        if (!hasOwnRow(code)) {
            EXPECT_STREQ(reasonPhraseForCode(code), fallbacks[code / 100 - 1]) << "code " << code;
        }
    }
}

TEST(KvSipStatusCode, CodesOutsideTheSixClassesAreUnknown) {
    for (int32_t code : {99, 0, 1, -1, -100, -606, 700, 999, 100000, INT32_MIN, INT32_MAX}) {
        EXPECT_STREQ(reasonPhraseForCode(code), "Unknown Response") << "code " << code;
    }
}
