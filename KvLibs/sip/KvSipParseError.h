// The one exception class through which the SIP message library reports bad input.
#pragma once

#include "KvException.h"

class KvSipParseError : public KvException {
public:
    explicit KvSipParseError(const char* message);
    ~KvSipParseError() override;

    // Throws a new parse error as KvHandle<KvException>; never returns.
    [[noreturn]] static void raise(const char* message);
};
