// Helpers shared by the SDP tests: parsing from text and checking the text and class of a thrown
// stack exception. Writing to text (kvSerialized) comes from support/KvTestStreams.h.
#pragma once

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvSdpParseError.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

// A stream over a copy of the text.
class KvTextInput : public KvByteArrayInputStream {
public:
    explicit KvTextInput(const std::string& text)
        : KvByteArrayInputStream(
              KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data())) {}
    // What is left unread.
    std::string rest() { return kvRestOf(*this); }
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
