#include "KvSipStatusCode.h"

namespace {

struct KvReasonRow {
    int32_t code;
    const char* phrase;
};

// The wording is the one our peers and logs have always seen (note "Ok"); do not "fix" it to
// RFC 3261 spelling.
constexpr KvReasonRow s_reasonRows[] = {
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

constexpr const char* s_classFallback[] = {
    "Unknown 100 Class Response", "Unknown 200 Class Response", "Unknown 300 Class Response",
    "Unknown 400 Class Response", "Unknown 500 Class Response", "Unknown 600 Class Response",
};

} // namespace

const char* reasonPhraseForCode(int32_t statusCode) {
    // Integer division truncates towards zero, so -99..99 all land in class 0.
    const int32_t responseClass = statusCode / 100;
    if (responseClass < 1 || responseClass > 6) {
        return "Unknown Response";
    }
    for (const KvReasonRow& row : s_reasonRows) {
        if (row.code == statusCode) {
            return row.phrase;
        }
    }
    return s_classFallback[responseClass - 1];
}
