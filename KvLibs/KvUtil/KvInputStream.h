// The abstract byte source of the stack. Parsers need mark and reset for their look-ahead.
#pragma once

#include "KvObserver.h"

#include <cstdint>

class KvByteArray;

class KvInputStream : public KvObservable {
public:
    // Reads up to length bytes into buffer + offset: the count, or -1 at the end.
    virtual int32_t read(void* buffer, int32_t length, int32_t offset);
    // The next byte (0 to 255), or -1 at the end.
    virtual int read() = 0;
    virtual int64_t skip(int64_t count);
    virtual int32_t available() { return 0; }
    virtual bool markSupported() { return false; }
    virtual void mark(int32_t readLimit);
    virtual void reset();
    // Streams that hold their bytes in memory show those from the read position to the end, so
    // that scanners look ahead without a call per byte and move on with skip(); null for others.
    virtual const char* peek(uint32_t& length) {
        length = 0;
        return nullptr;
    }

    // Reads into the array from offset; 0, or a length past the end, means to the end.
    int32_t read(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length);

    static KvHandle<KvInputStream> getGlobalStream();
    static KvHandle<KvInputStream> setGlobalStream(KvHandle<KvInputStream> stream);
};
