// Helpers shared by the fuzz targets.
#pragma once

#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvErrorStream.h"
#include "KvOutputSink.h"
#include "KvOutputStream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// Collects what is written into a std::string.
class KvFuzzStringStream : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(uint8_t byte) override { text.push_back(static_cast<char>(byte)); }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (buffer)
            text.append(static_cast<const char*>(buffer) + offset, length);
    }
    std::string text;
};

// The stack's diagnostics stay switched on (so their formatting is fuzzed too) but go nowhere.
inline void kvFuzzQuietLog() {
    static bool done = [] {
        KvHandle<KvOutputStream> sink(new KvOutputSink);
        KvHandle<KvErrorStream> stream(new KvErrorStream(sink));
        KvErrorStream::setInstance(stream);
        for (const char* category : {"KvException", "KvSocket", "KvThread", "KvSipMlException"})
            stream->addCategory(category);
        return true;
    }();
    (void)done;
}

inline KvHandle<KvByteArray> kvFuzzBytes(const uint8_t* data, size_t size) {
    return KvByteArray::sCreate(static_cast<uint32_t>(size), size ? data : nullptr);
}

// Whether the text holds a parameter without a name (";;", ";=x", or ";" at the end) or one
// whose "=" has no value behind it. The list keeps such an entry where a separator follows it but
// not at its end, and each read writes the list back in reverse order, so the entry is lost on a
// later round.
inline bool kvFuzzHasEmptyParameter(std::string_view text) {
    for (size_t i = text.find(';'); i != std::string_view::npos; i = text.find(';', i + 1)) {
        size_t next = text.find_first_not_of(" \t", i + 1);
        if (next == std::string_view::npos || std::strchr(";=?>,\r\n", text[next]))
            return true;
    }
    // Nor a value: "name=" at the end of the list reads as a pair without its value.
    for (size_t i = text.find('='); i != std::string_view::npos; i = text.find('=', i + 1))
        if (i + 1 == text.size() || std::strchr(";?>,\r\n", text[i + 1]))
            return true;
    return false;
}

// A broken invariant: says which (and, for two texts, where they part) and stops, so that the
// fuzzer keeps the input.
[[noreturn]] inline void kvFuzzFail(const char* what, const std::string& first = std::string(),
                                    const std::string& second = std::string()) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at])
        ++at;
    size_t from = first.rfind('\n', at);
    from = from == std::string::npos ? 0 : from + 1;
    auto show = [&](const char* label, const std::string& text) {
        if (!text.empty())
            std::fprintf(stderr, "--- %s (%zu bytes), from offset %zu:\n%.300s\n", label,
                         text.size(), from, text.c_str() + std::min(from, text.size()));
    };
    show("first", first);
    show("second", second);
    std::abort();
}
