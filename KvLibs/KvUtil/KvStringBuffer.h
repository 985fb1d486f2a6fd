// The stack's string: a counted, copy-on-write character buffer and the handle that holds it.
// A null handle is the empty string.
#pragma once

#include "KvObject.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <new>
#include <string_view>

class KvCharClass;
class KvInputStream;
class KvOutputStream;

class KvStringBuffer : public KvObject {
public:
    // Header and characters live in one allocation; buffers exist only on the heap.
    static KvStringBuffer* create(const char* text, uint32_t length = 0, uint32_t capacity = 0);
    static KvStringBuffer* assign(KvStringBuffer* buffer, const char* text);
    static KvStringBuffer* append(KvStringBuffer* buffer, const char* text, uint32_t length = 0);
    static KvStringBuffer* appendBuffer(KvStringBuffer* buffer, KvStringBuffer* other);
    static KvStringBuffer* substring(KvStringBuffer* buffer, uint32_t start, uint32_t length = 0);
    static KvStringBuffer* trim(KvStringBuffer* buffer);
    static int32_t indexOf(const KvStringBuffer* buffer, const char* text, uint32_t start = 0);
    static int32_t compareText(const KvStringBuffer* buffer, const char* text);
    static int32_t compareTextIgnoreCase(const KvStringBuffer* buffer, const char* text);
    static KvStringBuffer* toUpperCase(KvStringBuffer* buffer);
    static KvStringBuffer* toLowerCase(KvStringBuffer* buffer);
    static KvStringBuffer* readToken(KvStringBuffer* buffer, KvInputStream& stream,
                                     const char* delimiters);
    static KvStringBuffer* readToken(KvStringBuffer* buffer, KvInputStream& stream,
                                     const KvCharClass& delimiters);
    static KvStringBuffer* peekToken(KvStringBuffer* buffer, KvInputStream& stream,
                                     const char* delimiters);
    static KvStringBuffer* readBytes(KvStringBuffer* buffer, KvInputStream& stream, uint32_t count);
    static char* lockBuffer(KvStringBuffer* buffer, uint32_t size);
    static void releaseBuffer(KvStringBuffer* buffer, int32_t length);
    // length + 1, room for the terminating NUL; throws std::bad_alloc when that passes the 32-bit
    // limit, before the sum is made.
    static uint32_t sWithTerminator(uint64_t length);

    ~KvStringBuffer() override = default;
    KvObject* clone() const override;
    int32_t compareWith(const KvObject* other) const override;
    uint32_t hash() const override;
    void print(KvOutputStream& stream) const override;

    const char* data() const { return m_data; }
    char* data() { return m_data; }
    uint32_t length() const { return m_length; }
    uint32_t capacity() const { return m_capacity; }

    // The block holds the header and the text; its whole size goes back with it.
    static void operator delete(KvStringBuffer* buffer, std::destroying_delete_t) {
        const size_t size = sizeof(KvStringBuffer) + buffer->m_capacity;
        buffer->~KvStringBuffer();
        KvObjectPool::release(buffer, size);
    }

private:
    KvStringBuffer(uint32_t capacity);
    KvStringBuffer(const KvStringBuffer&) = delete;
    void setLength(uint32_t length);
    // buffer when it is unshared and has room for count characters, else a new one that has.
    static KvStringBuffer* sizedFor(KvStringBuffer* buffer, uint32_t count);
    // The text in sizedFor's buffer.
    static KvStringBuffer* copied(KvStringBuffer* buffer, std::string_view text);
    template <class Delimiters>
    static KvStringBuffer* readTokenOf(KvStringBuffer* buffer, KvInputStream& stream,
                                       const Delimiters& delimiters);
    bool isShared() const { return getRefCount() >= 2; }

    char* m_data;
    uint32_t m_length;
    uint32_t m_capacity;
    mutable std::atomic<uint32_t> m_hash; // cached; 0 means not computed yet
};

// The string handle.
template <> class KvHandle<KvStringBuffer> : public KvHandleBase {
public:
    KvHandle() noexcept = default;
    KvHandle(const char* text) : KvHandleBase(KvStringBuffer::create(text)) {}
    KvHandle(KvStringBuffer* buffer) : KvHandleBase(buffer) {}
    KvHandle(const KvHandle& other) = default;
    KvHandle(KvHandle&& other) noexcept = default;
    template <class U> KvHandle(const KvHandle<U>& other) {
        KvObject* source = other.get();
        constructFromCast(source, source ? dynamic_cast<KvStringBuffer*>(source) : nullptr);
    }

    KvHandle& operator=(const KvHandle& other) = default;
    KvHandle& operator=(KvHandle&& other) noexcept = default;
    KvHandle& operator=(KvStringBuffer* buffer) {
        assign(buffer);
        return *this;
    }
    KvHandle& operator=(const char* text) {
        assign(KvStringBuffer::assign(get(), text));
        return *this;
    }
    KvHandle& operator+=(const char* text) {
        assign(KvStringBuffer::append(get(), text));
        return *this;
    }
    KvHandle& operator+=(const KvHandle& other) {
        assign(KvStringBuffer::appendBuffer(get(), other.get()));
        return *this;
    }

    KvStringBuffer* get() const { return static_cast<KvStringBuffer*>(m_object); }
    KvStringBuffer* operator->() const { return get(); }

    const char* data() const { return m_object ? get()->data() : nullptr; }
    // The text, or "" for a null string: for callers that need a valid C text.
    const char* c_str() const { return m_object ? get()->data() : ""; }
    uint32_t length() const { return m_object ? get()->length() : 0; }
    bool isEmpty() const { return length() == 0; }

    KvHandle& trim() {
        assign(KvStringBuffer::trim(get()));
        return *this;
    }
    KvHandle& toUpperCase() {
        assign(KvStringBuffer::toUpperCase(get()));
        return *this;
    }
    KvHandle& toLowerCase() {
        assign(KvStringBuffer::toLowerCase(get()));
        return *this;
    }
    KvHandle substring(uint32_t start, uint32_t length = 0) const {
        return KvHandle(KvStringBuffer::substring(get(), start, length));
    }
    int32_t indexOf(const char* text, uint32_t start = 0) const {
        return KvStringBuffer::indexOf(get(), text, start);
    }
    bool equalsIgnoreCase(const char* text) const {
        return KvStringBuffer::compareTextIgnoreCase(get(), text) == 0;
    }

    bool operator==(const char* text) const {
        return KvStringBuffer::compareText(get(), text) == 0;
    }
    bool operator!=(const char* text) const { return !(*this == text); }
    // A null string compares as the empty string.
    bool operator==(const KvHandle& other) const {
        if (!m_object || !other.m_object)
            return length() == other.length();
        return get()->compareWith(other.get()) == 0;
    }
    bool operator!=(const KvHandle& other) const { return !(*this == other); }
};

using KvString = KvHandle<KvStringBuffer>;

KvOutputStream& operator<<(KvOutputStream& stream, const KvString& string);
std::ostream& operator<<(std::ostream& stream, const KvString& string);
KvInputStream& operator>>(KvInputStream& stream, KvString& string);
