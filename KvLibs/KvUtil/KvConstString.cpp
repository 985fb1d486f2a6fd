#include "KvConstString.h"

#include <cstring>
#include <strings.h>

KvConstString::~KvConstString() { delete[] m_text; }

KvConstString& KvConstString::operator=(KvConstString&& other) noexcept {
    if (this != &other) {
        delete[] m_text;
        m_text = other.m_text;
        m_length = other.m_length;
        other.m_text = nullptr;
        other.m_length = 0;
    }
    return *this;
}

const char* KvConstString::setText(const char* text) {
    return setText(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
}

const char* KvConstString::setText(const char* text, uint32_t length) {
    char* copy = nullptr;
    if (text && length) {
        // Copy before freeing: the text may be the one we hold.
        copy = new char[length + 1];
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    delete[] m_text;
    m_text = copy;
    m_length = copy ? length : 0;
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
