// Small stream helpers shared by the tests.
#pragma once

#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
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

inline KvHandle<KvByteArrayInputStream> kvStreamOf(const std::string& text) {
    return KvHandle<KvByteArrayInputStream>(new KvByteArrayInputStream(
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data())));
}

template <class T> std::string kvPrinted(const T* object) {
    KvStringOutputStream out;
    out << static_cast<const KvObject*>(object);
    return out.text;
}
