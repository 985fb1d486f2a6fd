// The one exception class through which the SIP message library reports bad input.
#pragma once

#include "KvException.h"

class KvSipParseError : public KvException {
public:
    explicit KvSipParseError(const char* message);
    ~KvSipParseError() override;

    // Throws a new parse error as KvHandle<KvException>; never returns.
    [[noreturn]] static void raise(const char* message);

    // A caller's text is written inside one header line or the start line: a CR or LF in it, or a
    // NUL in a string, would end that line and start another. Throws "Attempting to set <class of
    // owner> with a line break" when it holds one. Every text a caller hands in passes here before
    // anything changes; what the parser stores comes from lines already cut at their ends.
    static void refuseLineEnd(const char* text, const KvObject& owner);
    static void refuseLineEnd(const KvString& text, const KvObject& owner);
    // The same for a text that the owner reads as a header value, which may close with its line
    // end.
    static void refuseInnerLineEnd(const char* text, const KvObject& owner);
    // Throws the error that those checks throw.
    [[noreturn]] static void raiseLineEnd(const KvObject& owner);
};
