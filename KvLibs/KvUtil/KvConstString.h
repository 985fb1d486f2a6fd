// An owned, uncounted copy of a text, for names, tokens and parameter keys and values.
#pragma once

#include "KvShortCopy.h"

#include <cstdint>
#include <utility>

class KvOutputStream;

class KvConstString {
public:
    KvConstString() : m_length(0), m_text(nullptr) {}
    KvConstString(const char* text) : KvConstString() { setText(text); }
    KvConstString(const char* text, uint32_t length) : KvConstString() { setText(text, length); }
    KvConstString(const KvConstString& other) : KvConstString() {
        setText(other.m_text, other.m_length);
    }
    KvConstString(KvConstString&& other) noexcept : KvConstString() { *this = std::move(other); }
    virtual ~KvConstString();

    KvConstString& operator=(const char* text) {
        setText(text);
        return *this;
    }
    KvConstString& operator=(const KvConstString& other) {
        if (this != &other)
            setText(other.m_text, other.m_length);
        return *this;
    }
    KvConstString& operator=(KvConstString&& other) noexcept;

    // Both return the new text, or null when it is empty. The source may be our own text.
    const char* setText(const char* text);
    const char* setText(const char* text, uint32_t length) {
        // The usual case, a short text over a short or no text, is copied in place.
        if (length - 1 < INLINE_SIZE - 1 && text && (!m_text || isInline())) {
            KvShortCopy::copy(m_inline, text, length);
            m_inline[length] = '\0';
            m_text = m_inline;
            m_length = length;
            return m_text;
        }
        return assignText(text, length);
    }

    const char* data() const { return m_text; }
    const char* c_str() const { return m_text ? m_text : ""; }
    uint32_t length() const { return m_length; }
    bool isEmpty() const { return m_length == 0; }
    void toUpperCase();
    void toLowerCase();
    int32_t indexOf(const char* text, uint32_t start = 0) const;
    bool equals(const char* text) const;
    bool equalsIgnoreCase(const char* text) const;

private:
    // Most texts (tokens, tags, branches, parameter names) fit in the object: no allocation.
    static constexpr uint32_t INLINE_SIZE = 24;
    bool isInline() const { return m_text == m_inline; }
    const char* assignText(const char* text, uint32_t length);

    uint32_t m_length;
    char* m_text;
    char m_inline[INLINE_SIZE];
};

// Written with its known length: no scan for the end.
KvOutputStream& operator<<(KvOutputStream& stream, const KvConstString& text);
