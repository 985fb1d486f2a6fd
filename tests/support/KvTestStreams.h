// Small stream helpers shared by the tests.
#pragma once

#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvInputStream.h"
#include "KvOutputStream.h"

#include <string>

// Collects what is written into a std::string.
class KvStringOutputStream : public KvOutputStream {
public:
    void write(uint8_t byte) override { text.push_back(static_cast<char>(byte)); }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (buffer)
            text.append(static_cast<const char*>(buffer) + offset, length);
    }
    using KvOutputStream::write;
    std::string text;
};

// The same bytes behind the bare stream interface: nothing to peek at, so every reader takes its
// byte by byte path.
class KvPlainStream : public KvInputStream {
public:
    explicit KvPlainStream(std::string text) : m_text(std::move(text)) {}
    int read() override {
        return m_position < m_text.size() ? static_cast<uint8_t>(m_text[m_position++]) : -1;
    }
    int32_t available() override { return static_cast<int32_t>(m_text.size() - m_position); }
    bool markSupported() override { return true; }
    void mark(int32_t) override { m_mark = m_position; }
    void reset() override { m_position = m_mark; }

private:
    std::string m_text;
    size_t m_position = 0;
    size_t m_mark = 0;
};

inline KvHandle<KvByteArrayInputStream> kvStreamOf(const std::string& text) {
    return KvHandle<KvByteArrayInputStream>(new KvByteArrayInputStream(
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data())));
}

// What is left unread in the stream; reads it to the end.
inline std::string kvRestOf(KvInputStream& stream) {
    std::string rest;
    for (int c = stream.read(); c >= 0; c = stream.read())
        rest.push_back(static_cast<char>(c));
    return rest;
}

template <class T> std::string kvPrinted(const T* object) {
    KvStringOutputStream out;
    out << static_cast<const KvObject*>(object);
    return out.text;
}

// What the object's serialize writes; the object may be given by reference, pointer or handle.
template <class T> std::string kvSerialized(const T& object) {
    KvStringOutputStream out;
    object.serialize(out);
    return out.text;
}

template <class T> std::string kvSerialized(T* object) {
    return kvSerialized(*object);
}

template <class T> std::string kvSerialized(const KvHandle<T>& object) {
    return kvSerialized(*object);
}
