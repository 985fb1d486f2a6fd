// Texts that a caller hands in to be written inside one line of a text protocol (a SIP header or
// start line, an SDP field).
#pragma once

#include <string_view>

class KvLineText {
public:
    // Whether the text holds a CR or an LF: either would end the line it is written into, and what
    // followed would read as a line of its own. A C text ends at its NUL, so none gets in; a null
    // text holds nothing.
    static bool holdsLineEnd(const char* text);
    // The same for a text of known length, where a NUL counts too: a reader that takes the line
    // as a C text stops there.
    static bool holdsLineEnd(std::string_view text);
    // For a text that is read as a header line's value, which may close with its line end (CR LF
    // or LF): whether a CR or LF stands anywhere else in it.
    static bool holdsInnerLineEnd(const char* text);
};
