// Short texts live inside the object, long ones on the heap: copies, moves and texts taken from
// the object itself must give the same text whichever way it is stored.
#include "KvConstString.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {
std::string textOf(const KvConstString& s) {
    return std::string(s.c_str(), s.length());
}
} // namespace

TEST(KvConstStringStorage, CopiesAndMovesKeepTheTextAtEverySize) {
    for (size_t size : {0, 1, 22, 23, 24, 25, 40, 200}) {
        const std::string text(size, 'a');
        KvConstString original(text.c_str());
        EXPECT_EQ(original.length(), size);
        EXPECT_EQ(original.data() == nullptr, size == 0);
        EXPECT_EQ(textOf(original), text);

        KvConstString copy(original);
        EXPECT_EQ(textOf(copy), text);
        KvConstString moved(std::move(copy));
        EXPECT_EQ(textOf(moved), text);
        EXPECT_EQ(copy.length(), 0u);
        EXPECT_EQ(copy.data(), nullptr);

        // Moved over texts of the other kind of storage, in both directions.
        for (size_t other : {3, 100}) {
            KvConstString target(std::string(other, 'z').c_str());
            KvConstString source(original);
            target = std::move(source);
            EXPECT_EQ(textOf(target), text);
            EXPECT_EQ(source.data(), nullptr);
            KvConstString assigned(std::string(other, 'y').c_str());
            assigned = original;
            EXPECT_EQ(textOf(assigned), text);
        }
        // Self-assignment and self-move leave the text.
        KvConstString self(original);
        KvConstString& alias = self;
        self = alias;
        EXPECT_EQ(textOf(self), text);
        self = std::move(alias);
        EXPECT_EQ(textOf(self), text);
    }
    // Many in a vector that grows: every text survives the moves of reallocation.
    std::vector<KvConstString> strings;
    for (int i = 0; i < 100; ++i)
        strings.emplace_back(
            std::string(static_cast<size_t>(i), static_cast<char>('a' + i % 26)).c_str());
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(textOf(strings[static_cast<size_t>(i)]),
                  std::string(static_cast<size_t>(i), static_cast<char>('a' + i % 26)));
}

TEST(KvConstStringStorage, TextsTakenFromTheObjectItself) {
    for (size_t size : {10, 23, 30, 100}) {
        std::string text;
        for (size_t i = 0; i < size; ++i)
            text.push_back(static_cast<char>('a' + i % 26));
        KvConstString s(text.c_str());
        // A tail of its own text, and a longer text given its own start.
        s.setText(s.data() + 2, static_cast<uint32_t>(size - 2));
        EXPECT_EQ(textOf(s), text.substr(2));
        s.setText(s.data(), 5);
        EXPECT_EQ(textOf(s), text.substr(2, 5));
        s.setText(s.data() + 1);
        EXPECT_EQ(textOf(s), text.substr(3, 4));
        s.setText(nullptr);
        EXPECT_EQ(s.data(), nullptr);
        EXPECT_TRUE(s.isEmpty());
    }
    // Embedded NUL bytes are kept with their length.
    KvConstString binary("a\0b", 3);
    EXPECT_EQ(binary.length(), 3u);
    EXPECT_EQ(std::string(binary.data(), 3), std::string("a\0b", 3));
    KvConstString copy(binary);
    EXPECT_EQ(std::string(copy.data(), copy.length()), std::string("a\0b", 3));
}
