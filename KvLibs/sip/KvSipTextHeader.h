// The base of the headers whose value is one stored text, written back unchanged: Subject,
// Content-Encoding, Allow and the option-tag headers. Each class reads the text its own way.
#pragma once

#include "KvSipHeader.h"

#include <cstddef>
#include <string_view>

class KvSipTextHeader : public KvSipHeader {
public:
    void serialize(KvOutputStream& stream) const override;

    // The text as a string: a shared one from texts (permanent strings) when it is one of them,
    // else a new one. The values peers send most cost no allocation.
    static KvString sSharedText(const KvString* texts, size_t count, std::string_view text);
    template <size_t N>
    static KvString sSharedText(const KvString (&texts)[N], std::string_view text) {
        return sSharedText(texts, N, text);
    }
    // Marks each of the strings permanent, for the tables above; returns true for a static's
    // initializer.
    static bool sMakePermanent(const KvString* texts, size_t count);

protected:
    explicit KvSipTextHeader(const KvString& token) : KvSipHeader(token) {}
    // The text is stored unchanged.
    KvSipTextHeader(const KvString& token, const char* text) : KvSipHeader(token), m_text(text) {}
    KvSipTextHeader(const KvSipTextHeader& other) = default;

    KvString m_text;
};
