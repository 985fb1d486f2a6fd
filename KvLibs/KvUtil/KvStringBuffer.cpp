#include "KvStringBuffer.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

#include <cstring>
#include <new>
#include <ostream>

namespace {
bool isTrimSpace(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
char foldLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
char foldUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
} // namespace

uint32_t KvStringBuffer::sWithTerminator(uint64_t length) {
    if (length >= UINT32_MAX)
        throw std::bad_alloc();
    return static_cast<uint32_t>(length + 1);
}

KvStringBuffer::KvStringBuffer(uint32_t capacity)
    : m_data(reinterpret_cast<char*>(this + 1)), m_length(0), m_capacity(capacity), m_hash(0) {
    m_data[0] = '\0';
}

void KvStringBuffer::setLength(uint32_t length) {
    m_length = length;
    m_data[length] = '\0';
    m_hash.store(0, std::memory_order_relaxed);
}

KvStringBuffer* KvStringBuffer::create(const char* text, uint32_t length, uint32_t capacity) {
    if (!text && capacity == 0)
        return nullptr;
    if (text && length == 0)
        length = static_cast<uint32_t>(std::strlen(text));
    if (!text)
        length = 0;
    if (length == 0 && capacity == 0)
        return nullptr;
    if (capacity < sWithTerminator(length))
        capacity = length + 1;
    void* block = KvObjectPool::allocate(sizeof(KvStringBuffer) + capacity);
    auto* buffer = new (block) KvStringBuffer(capacity);
    if (length)
        std::memcpy(buffer->m_data, text, length);
    buffer->m_data[length] = '\0';
    buffer->m_length = length;
    return buffer;
}

KvStringBuffer* KvStringBuffer::assign(KvStringBuffer* buffer, const char* text) {
    // A null text is the empty string, as everywhere else: the caller drops its buffer.
    if (!text)
        return nullptr;
    size_t length = std::strlen(text);
    if (buffer && buffer->getRefCount() < 2 && buffer->m_capacity >= length + 1) {
        // The text may be our own (or part of it): memmove copes with the overlap.
        std::memmove(buffer->m_data, text, length);
        buffer->setLength(static_cast<uint32_t>(length));
        return buffer;
    }
    return create(text, static_cast<uint32_t>(length));
}

KvStringBuffer* KvStringBuffer::append(KvStringBuffer* buffer, const char* text, uint32_t length) {
    if (!text)
        return buffer;
    uint32_t added = length;
    if (added == 0 || ::strnlen(text, added) < added)
        added = static_cast<uint32_t>(std::strlen(text));
    // A length beyond a short text never reads past its NUL, with or without a buffer.
    if (!buffer)
        return create(text, added);
    if (added == 0)
        return buffer;
    uint32_t oldLength = buffer->m_length;
    if (buffer->getRefCount() < 2 && uint64_t{oldLength} + added < buffer->m_capacity) {
        std::memmove(buffer->m_data + oldLength, text, added);
        buffer->setLength(oldLength + added);
        return buffer;
    }
    KvStringBuffer* grown =
        create(buffer->m_data, oldLength, sWithTerminator(uint64_t{oldLength} + added));
    std::memcpy(grown->m_data + oldLength, text,
                added); // text may live in the old buffer: still valid
    grown->setLength(oldLength + added);
    return grown;
}

KvStringBuffer* KvStringBuffer::appendBuffer(KvStringBuffer* buffer, KvStringBuffer* other) {
    if (!buffer)
        return other;
    if (!other)
        return buffer;
    // Appending a buffer to itself: take the length first, the text stays readable until replaced.
    return append(buffer, other->m_data, other->m_length);
}

KvStringBuffer* KvStringBuffer::substring(KvStringBuffer* buffer, uint32_t start, uint32_t length) {
    if (!buffer || start > buffer->m_length)
        return nullptr;
    uint32_t rest = buffer->m_length - start;
    if (length == 0 || length > rest)
        length = rest;
    if (length == 0)
        return nullptr;
    return create(buffer->m_data + start, length);
}

KvStringBuffer* KvStringBuffer::trim(KvStringBuffer* buffer) {
    if (!buffer)
        return nullptr;
    const char* text = buffer->m_data;
    uint32_t end = buffer->m_length;
    while (end > 0 && isTrimSpace(text[end - 1]))
        --end;
    uint32_t begin = 0;
    while (begin < end && isTrimSpace(text[begin]))
        ++begin;
    if (begin == 0 && end == buffer->m_length)
        return buffer;
    if (buffer->getRefCount() >= 2) {
        KvStringBuffer* copy = create(nullptr, 0, end - begin + 1);
        std::memcpy(copy->m_data, text + begin, end - begin);
        copy->setLength(end - begin);
        return copy;
    }
    std::memmove(buffer->m_data, text + begin, end - begin);
    buffer->setLength(end - begin);
    return buffer;
}

int32_t KvStringBuffer::indexOf(const KvStringBuffer* buffer, const char* text, uint32_t start) {
    if (!buffer || !text || start >= buffer->m_length)
        return -1;
    const char* found = std::strstr(buffer->m_data + start, text);
    return found ? static_cast<int32_t>(found - buffer->m_data) : -1;
}

int32_t KvStringBuffer::compareText(const KvStringBuffer* buffer, const char* text) {
    if (!buffer)
        return (!text || !*text) ? 0 : -1;
    if (!text)
        return static_cast<unsigned char>(buffer->m_data[0]);
    return std::strcmp(buffer->m_data, text);
}

int32_t KvStringBuffer::compareTextIgnoreCase(const KvStringBuffer* buffer, const char* text) {
    if (!buffer)
        return (!text || !*text) ? 0 : -1;
    if (!text)
        return static_cast<unsigned char>(buffer->m_data[0]);
    const unsigned char* a = reinterpret_cast<const unsigned char*>(buffer->m_data);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text);
    for (;; ++a, ++b) {
        int ca = static_cast<unsigned char>(foldLower(static_cast<char>(*a)));
        int cb = static_cast<unsigned char>(foldLower(static_cast<char>(*b)));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

static KvStringBuffer* convertCase(KvStringBuffer* buffer, char (*fold)(char)) {
    if (!buffer || buffer->length() == 0)
        return buffer;
    KvStringBuffer* target = buffer;
    if (buffer->getRefCount() > 1)
        target = KvStringBuffer::create(buffer->data(), buffer->length());
    char* text = target->data();
    for (uint32_t i = 0; i < target->length(); ++i)
        text[i] = fold(text[i]);
    KvStringBuffer::releaseBuffer(target, static_cast<int32_t>(target->length()));
    return target;
}

KvStringBuffer* KvStringBuffer::toUpperCase(KvStringBuffer* buffer) {
    return convertCase(buffer, foldUpper);
}

KvStringBuffer* KvStringBuffer::toLowerCase(KvStringBuffer* buffer) {
    return convertCase(buffer, foldLower);
}

KvStringBuffer* KvStringBuffer::sizedFor(KvStringBuffer* buffer, uint32_t count) {
    if (!buffer || buffer->getRefCount() >= 2 || buffer->m_capacity <= count)
        return create(nullptr, 0, sWithTerminator(count));
    return buffer;
}

KvStringBuffer* KvStringBuffer::copied(KvStringBuffer* buffer, std::string_view text) {
    const auto length = static_cast<uint32_t>(text.size());
    KvStringBuffer* target = sizedFor(buffer, length);
    if (length)
        std::memcpy(target->m_data, text.data(), length);
    target->setLength(length);
    return target;
}

// A token the stream shows is copied once, straight from its bytes.
template <class Delimiters>
KvStringBuffer* KvStringBuffer::readTokenOf(KvStringBuffer* buffer, KvInputStream& stream,
                                            const Delimiters& delimiters) {
    const std::string_view shown = KvStreamTokenizer::takeShownToken(stream, delimiters);
    if (shown.data())
        return copied(buffer, shown);
    return readBytes(buffer, stream, KvStreamTokenizer::tokenLength(stream, delimiters));
}

KvStringBuffer* KvStringBuffer::readToken(KvStringBuffer* buffer, KvInputStream& stream,
                                          const char* delimiters) {
    return readTokenOf(buffer, stream, delimiters);
}

KvStringBuffer* KvStringBuffer::readToken(KvStringBuffer* buffer, KvInputStream& stream,
                                          const KvCharClass& delimiters) {
    return readTokenOf(buffer, stream, delimiters);
}

KvStringBuffer* KvStringBuffer::peekToken(KvStringBuffer* buffer, KvInputStream& stream,
                                          const char* delimiters) {
    uint32_t length = KvStreamTokenizer::tokenLength(stream, delimiters);
    stream.mark(-1);
    KvStringBuffer* target = sizedFor(buffer, length);
    int32_t got =
        length ? KvStreamTokenizer::readFully(stream, target->m_data, static_cast<int32_t>(length))
               : 0;
    target->setLength(got > 0 ? static_cast<uint32_t>(got) : 0);
    stream.reset();
    return target;
}

KvStringBuffer* KvStringBuffer::readBytes(KvStringBuffer* buffer, KvInputStream& stream,
                                          uint32_t count) {
    KvStringBuffer* target = sizedFor(buffer, count);
    int32_t got =
        count ? KvStreamTokenizer::readFully(stream, target->m_data, static_cast<int32_t>(count))
              : 0;
    target->setLength(got > 0 ? static_cast<uint32_t>(got) : 0);
    return target;
}

char* KvStringBuffer::lockBuffer(KvStringBuffer* buffer, uint32_t size) {
    if (!buffer || buffer->getRefCount() != 0 || buffer->m_capacity < size)
        KV_ASSERT_FAILED("KvStringBuffer::lockBuffer");
    return buffer->m_data;
}

void KvStringBuffer::releaseBuffer(KvStringBuffer* buffer, int32_t length) {
    if (!buffer)
        KV_ASSERT_FAILED("KvStringBuffer::releaseBuffer");
    uint32_t newLength = length < 0
                             ? static_cast<uint32_t>(::strnlen(buffer->m_data, buffer->m_capacity))
                             : static_cast<uint32_t>(length);
    if (newLength >= buffer->m_capacity)
        KV_ASSERT_FAILED("KvStringBuffer::releaseBuffer");
    buffer->m_length = newLength;
    buffer->m_hash.store(0, std::memory_order_relaxed);
}

KvObject* KvStringBuffer::clone() const {
    return create(m_data, m_length, m_capacity);
}

int32_t KvStringBuffer::compareWith(const KvObject* other) const {
    if (other == this)
        return 0;
    auto* that = dynamic_cast<const KvStringBuffer*>(other);
    if (!that)
        return 1;
    return std::strcmp(m_data, that->m_data);
}

uint32_t KvStringBuffer::hash() const {
    uint32_t h = m_hash.load(std::memory_order_relaxed);
    if (h == 0 && m_length) {
        for (uint32_t i = 0; i < m_length; ++i)
            h = h * 5 +
                static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(m_data[i])));
        m_hash.store(h, std::memory_order_relaxed);
    }
    return h;
}

void KvStringBuffer::print(KvOutputStream& stream) const {
    KvObject::print(stream);
    stream.write(m_data, m_length, 0);
}

KvOutputStream& operator<<(KvOutputStream& stream, const KvString& string) {
    if (string.length())
        stream.write(string.data(), string.length(), 0);
    return stream;
}

std::ostream& operator<<(std::ostream& stream, const KvString& string) {
    if (string.length())
        stream.write(string.data(), string.length());
    return stream;
}

KvInputStream& operator>>(KvInputStream& stream, KvString& string) {
    string = KvStringBuffer::readToken(string.get(), stream, " \t\r\n");
    return stream;
}
