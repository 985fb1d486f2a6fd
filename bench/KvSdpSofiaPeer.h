// sofia-sip's SDP parser for the SDP benchmark. Kept in its own source because sofia-sip's and
// osip2's SDP headers declare the same type names.
#pragma once

#include <cstddef>

namespace KvSdpSofiaPeer {
// True when sofia-sip parses the text without error.
bool check(const char* text, size_t length);
void parse(const char* text, size_t length);
// Parses and prints the session back into a text; returns that text's length.
size_t parseSerialize(const char* text, size_t length);
} // namespace KvSdpSofiaPeer
