// The exception of the SDP library for text that breaks the SDP grammar or a value that a typed
// constructor refuses.
#pragma once

#include "KvException.h"

class KvSdpParseError : public KvException {
public:
    explicit KvSdpParseError(const char* message);
    ~KvSdpParseError() override;

    // Throws a new parse error as KvHandle<KvException>; a null message stays empty.
    [[noreturn]] static void sThrow(const char* message);
};
