#include "KvOutputStream.h"

#include "KvByteArray.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {
// The writeCounted under way on this thread: when the byte loop of the same stream is given the
// very bytes of that call, a target that takes bytes one by one tells how many it took before one
// failed. Other bytes the stream hands to its loop (an encoding of them, say) count nothing.
struct Counting {
    const KvOutputStream* stream;
    const void* buffer;
    uint32_t length;
    uint32_t offset;
    uint32_t* taken;
};
thread_local Counting tCounting{};
} // namespace

void KvOutputStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    if (!buffer)
        return;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer) + offset;
    uint32_t* taken = nullptr;
    if (tCounting.stream == this && tCounting.buffer == buffer && tCounting.length == length &&
        tCounting.offset == offset)
        taken = std::exchange(tCounting, {}).taken;
    uint32_t i = 0;
    try {
        for (; i < length; ++i)
            write(bytes[i]);
    } catch (...) {
        if (taken)
            *taken = i;
        throw;
    }
}

void KvOutputStream::writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                                  uint32_t& taken) {
    taken = 0;
    const Counting outer = std::exchange(tCounting, Counting{this, buffer, length, offset, &taken});
    try {
        write(buffer, length, offset);
    } catch (...) {
        tCounting = outer;
        throw;
    }
    tCounting = outer;
    taken = buffer ? length : 0;
}

void KvOutputStream::write(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length) {
    if (array.isNull() || offset >= array->size())
        return;
    uint32_t rest = array->size() - offset;
    if (length == 0 || length > rest)
        length = rest;
    write(array->getData(), length, offset);
}

KvOutputStream& endl(KvOutputStream& stream) {
    stream.write(static_cast<uint8_t>('\n'));
    stream.flush();
    return stream;
}

KvOutputStream& flush(KvOutputStream& stream) {
    stream.flush();
    return stream;
}

namespace {
// Room for any value of the formatted type: 64 bytes hold every integer; a double written with
// "%f" needs up to 317 characters (sign, 309 digits, point and six decimals).
template <size_t Size = 64, class... Args>
KvOutputStream& writeFormatted(KvOutputStream& stream, const char* format, Args... args) {
    char buffer[Size];
    int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n > 0)
        stream.write(
            buffer,
            static_cast<uint32_t>(n < static_cast<int>(sizeof buffer) ? n : sizeof buffer - 1), 0);
    return stream;
}
// Integers are written on every line of every message: std::to_chars gives the text of "%d" and
// "%u" without a format parse.
template <class T> KvOutputStream& writeDecimal(KvOutputStream& stream, T value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    stream.write(buffer, static_cast<uint32_t>(result.ptr - buffer), 0);
    return stream;
}
} // namespace

KvOutputStream& operator<<(KvOutputStream& stream, const char* text) {
    if (text)
        stream.write(text, static_cast<uint32_t>(std::strlen(text)), 0);
    return stream;
}

KvOutputStream& operator<<(KvOutputStream& stream, char c) {
    stream.write(static_cast<uint8_t>(c));
    return stream;
}

KvOutputStream& operator<<(KvOutputStream& stream, short value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, int value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, long value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, long long value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, unsigned short value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, unsigned int value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, unsigned long value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, unsigned long long value) {
    return writeDecimal(stream, value);
}
KvOutputStream& operator<<(KvOutputStream& stream, double value) {
    return writeFormatted<320>(stream, "%f", value);
}
KvOutputStream& operator<<(KvOutputStream& stream, KvHex value) {
    return writeFormatted(stream, "%08" PRIXPTR, value.value);
}
