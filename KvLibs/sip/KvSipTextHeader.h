// The base of the headers whose value is one stored text, written back unchanged: Subject,
// Content-Encoding, Allow and the option-tag headers. Each class reads the text its own way.
#pragma once

#include "KvSipHeader.h"
#include "KvSipParseError.h"

#include <cstddef>
#include <string_view>

class KvSipTextHeader : public KvSipHeader {
public:
    void serialize(KvOutputStream& stream) const override;

    // The one of texts that is text, or null. Inline: the parsers' tables are short and known.
    static const KvString* sFindShared(const KvString* texts, size_t count, std::string_view text) {
        for (size_t i = 0; i < count; ++i) {
            // Length and first byte rule out the others; the rest is compared here rather than in
            // a library call.
            const char* candidate = texts[i].data();
            if (texts[i].length() != text.size() || text.empty() || candidate[0] != text[0])
                continue;
            size_t same = 1;
            while (same < text.size() && candidate[same] == text[same])
                ++same;
            if (same == text.size())
                return &texts[i];
        }
        return nullptr;
    }
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
    KvSipTextHeader(const KvString& token, const char* text) : KvSipHeader(token), m_text(text) {
        KvSipParseError::refuseLineEnd(text, *this);
    }
    KvSipTextHeader(const KvSipTextHeader& other) = default;

    KvString m_text;
};
