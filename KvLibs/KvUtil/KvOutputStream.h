// The abstract byte sink of the stack, with the formatting operators every print and serialiser
// uses.
#pragma once

#include "KvObserver.h"
#include "KvStringBuffer.h"

#include <cstdint>

class KvByteArray;

class KvOutputStream : public KvObservable {
public:
    // Writes length bytes from buffer + offset; a null buffer writes nothing.
    virtual void write(const void* buffer, uint32_t length, uint32_t offset);
    virtual void write(uint8_t byte) = 0;
    virtual void flush() {}
    // Writes like write(buffer, length, offset). When that fails, `taken` tells how many of the
    // bytes the target kept before the failure was thrown: a stream that writes byte by byte (only
    // write(uint8_t) of its own) tells, and so do the library's streams that pass writes on; one
    // with a write of its own that cannot tell says 0, so that a retry may write some bytes again
    // but never skips any.
    virtual void writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                              uint32_t& taken);

    // Writes length bytes of the array from offset; 0, or a length past the end, means to the end.
    void write(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length);

    static KvHandle<KvOutputStream> getGlobalStream();
    static KvHandle<KvOutputStream> setGlobalStream(KvHandle<KvOutputStream> stream);
};

// A value written as eight (or more) upper-case hexadecimal digits, for addresses.
struct KvHex {
    explicit KvHex(uintptr_t v) : value(v) {}
    uintptr_t value;
};

using KvManipulator = KvOutputStream& (*)(KvOutputStream&);
KvOutputStream& endl(KvOutputStream& stream);
KvOutputStream& flush(KvOutputStream& stream);

KvOutputStream& operator<<(KvOutputStream& stream, const char* text);
KvOutputStream& operator<<(KvOutputStream& stream, char c);
KvOutputStream& operator<<(KvOutputStream& stream, short value);
KvOutputStream& operator<<(KvOutputStream& stream, int value);
KvOutputStream& operator<<(KvOutputStream& stream, long value);
KvOutputStream& operator<<(KvOutputStream& stream, long long value);
KvOutputStream& operator<<(KvOutputStream& stream, unsigned short value);
KvOutputStream& operator<<(KvOutputStream& stream, unsigned int value);
KvOutputStream& operator<<(KvOutputStream& stream, unsigned long value);
KvOutputStream& operator<<(KvOutputStream& stream, unsigned long long value);
KvOutputStream& operator<<(KvOutputStream& stream, double value);
KvOutputStream& operator<<(KvOutputStream& stream, KvHex value);
inline KvOutputStream& operator<<(KvOutputStream& stream, KvManipulator manipulator) {
    return manipulator(stream);
}
