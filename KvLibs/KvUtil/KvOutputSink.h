// An output stream that swallows everything written to it: the stream for suppressed trace levels.
#pragma once

#include "KvOutputStream.h"

class KvOutputSink : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(const void*, uint32_t, uint32_t) override {}
    void write(uint8_t) override {}

    // The process-wide null stream; it lives until the process ends.
    static KvOutputSink& sNullStream();
};
