// The number of every header class. A message keeps one chain of headers per number, so the
// numbers index a table of KV_HEADER_ID_COUNT entries; the gaps belong to no class and stay empty.
#pragma once

#include <cstdint>

enum KvSipHeaderId : uint32_t {
    KV_HEADER_NONE = 0,
    KV_HEADER_VIA = 1,
    KV_HEADER_FROM = 2,
    KV_HEADER_TO = 3,
    KV_HEADER_CSEQ = 4,
    KV_HEADER_CALL_ID = 5,
    KV_HEADER_CONTENT_LENGTH = 6,
    KV_HEADER_ACCEPT = 8,
    KV_HEADER_ACCEPT_LANGUAGE = 9,
    KV_HEADER_ALLOW = 11,
    KV_HEADER_AUTHORIZATION = 15,
    KV_HEADER_CONTACT = 18,
    KV_HEADER_CONTENT_ENCODING = 20,
    KV_HEADER_CONTENT_TYPE = 21,
    KV_HEADER_EXPIRES = 26,
    KV_HEADER_MAX_FORWARDS = 29,
    KV_HEADER_MIN_SE = 32,
    KV_HEADER_PROXY_AUTHENTICATE = 35,
    KV_HEADER_PROXY_AUTHORIZATION = 36,
    KV_HEADER_RACK = 38,
    KV_HEADER_RSEQ = 39,
    KV_HEADER_RECORD_ROUTE = 40,
    KV_HEADER_REPLACES = 43,
    KV_HEADER_REQUIRE = 44,
    KV_HEADER_RETRY_AFTER = 46,
    KV_HEADER_ROUTE = 47,
    KV_HEADER_SESSION_EXPIRES = 49,
    KV_HEADER_SUBJECT = 51,
    KV_HEADER_SUPPORTED = 53,
    // Every header whose name has no class of its own, whatever the name.
    KV_HEADER_UNKNOWN = 55,
    KV_HEADER_USER_AGENT = 57,
    KV_HEADER_WWW_AUTHENTICATE = 58,
};

constexpr uint32_t KV_HEADER_ID_COUNT = 60;
