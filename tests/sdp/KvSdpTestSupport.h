// Helpers shared by the SDP tests: a string output stream, parsing from text and checking the text
// and class of a thrown stack exception.
#pragma once

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpParseError.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

class KvStringOutput : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(uint8_t byte) override { text.push_back(static_cast<char>(byte)); }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (buffer)
            text.append(static_cast<const char*>(buffer) + offset, length);
    }
    std::string text;
};

// A stream over a copy of the text.
class KvTextInput : public KvByteArrayInputStream {
public:
    explicit KvTextInput(const std::string& text)
        : KvByteArrayInputStream(
              KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data())) {}
    // What is left unread.
    std::string rest() {
        std::string left;
        for (int c = read(); c >= 0; c = read())
            left.push_back(static_cast<char>(c));
        return left;
    }
};

// The same stream without a view of its bytes: the readers go character by character.
class KvSlowTextInput : public KvTextInput {
public:
    using KvTextInput::KvTextInput;
    const char* peek(uint32_t& length) override {
        length = 0;
        return nullptr;
    }
};

template <class T> std::string kvSerialized(const T& object) {
    KvStringOutput out;
    object.serialize(out);
    return out.text;
}

// The statement must throw a stack exception of exactly that class with exactly that text.
#define EXPECT_KV_THROW(statement, ExceptionClass, message)                                        \
    do {                                                                                           \
        bool thrown_ = false;                                                                      \
        try {                                                                                      \
            statement;                                                                             \
        } catch (KvHandle<KvException> & e_) {                                                     \
            thrown_ = true;                                                                        \
            EXPECT_STREQ(e_->getText(), message);                                                  \
            EXPECT_EQ(std::string(typeid(*e_.get()).name()),                                       \
                      std::string(typeid(ExceptionClass).name()))                                  \
                << "thrown as " << e_->getClassName();                                             \
        }                                                                                          \
        EXPECT_TRUE(thrown_) << "no exception: " #statement;                                       \
    } while (0)
