#include "KvConstString.h"

#include "KvObjectPool.h"
#include "KvOutputStream.h"

#include <cstring>
#include <strings.h>

namespace {
// Texts too long to sit inline (nonces, digests, long URIs) come and go with the message, at the
// rate of the counted objects: they share their cache.
char* allocateText(uint32_t length) {
    return static_cast<char*>(KvObjectPool::allocate(size_t{length} + 1));
}

void releaseText(char* text, uint32_t length) {
    if (text)
        KvObjectPool::release(text, size_t{length} + 1);
}
} // namespace

KvConstString::~KvConstString() {
    if (!isInline())
        releaseText(m_text, m_length);
}

KvConstString& KvConstString::operator=(KvConstString&& other) noexcept {
    if (this == &other)
        return *this;
    if (!isInline())
        releaseText(m_text, m_length);
    if (other.isInline()) {
        std::memcpy(m_inline, other.m_inline, other.m_length + 1);
        m_text = m_inline;
    } else {
        m_text = other.m_text;
    }
    m_length = other.m_length;
    other.m_text = nullptr;
    other.m_length = 0;
    return *this;
}

const char* KvConstString::setText(const char* text) {
    return setText(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
}

const char* KvConstString::assignText(const char* text, uint32_t length) {
    char* old = isInline() ? nullptr : m_text;
    const uint32_t oldLength = m_length;
    if (!text || !length) {
        m_text = nullptr;
        m_length = 0;
    } else if (length < INLINE_SIZE) {
        // memmove: the text may be (part of) the one we hold, inline or not.
        std::memmove(m_inline, text, length);
        m_inline[length] = '\0';
        m_text = m_inline;
        m_length = length;
    } else {
        // Copy before freeing: the text may be the one we hold.
        char* copy = allocateText(length);
        std::memcpy(copy, text, length);
        copy[length] = '\0';
        m_text = copy;
        m_length = length;
    }
    releaseText(old, oldLength);
    return m_text;
}

void KvConstString::toUpperCase() {
    for (uint32_t i = 0; i < m_length; ++i)
        if (m_text[i] >= 'a' && m_text[i] <= 'z')
            m_text[i] = static_cast<char>(m_text[i] - 32);
}

void KvConstString::toLowerCase() {
    for (uint32_t i = 0; i < m_length; ++i)
        if (m_text[i] >= 'A' && m_text[i] <= 'Z')
            m_text[i] = static_cast<char>(m_text[i] + 32);
}

int32_t KvConstString::indexOf(const char* text, uint32_t start) const {
    if (!m_text || !text || start >= m_length)
        return -1;
    const char* found = std::strstr(m_text + start, text);
    return found ? static_cast<int32_t>(found - m_text) : -1;
}

bool KvConstString::equals(const char* text) const {
    if (!m_text)
        return !text || !*text;
    return text && std::strcmp(m_text, text) == 0;
}

bool KvConstString::equalsIgnoreCase(const char* text) const {
    if (!m_text)
        return !text || !*text;
    return text && ::strcasecmp(m_text, text) == 0;
}

KvOutputStream& operator<<(KvOutputStream& stream, const KvConstString& text) {
    if (text.length())
        stream.write(text.data(), text.length(), 0);
    return stream;
}
