#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

namespace {
KvHandle<KvByteArray> tenBytes() {
    const char bytes[] = "0123456789";
    return KvByteArray::sCreate(10, bytes);
}
} // namespace

TEST(KvByteArray, AccessCopyAndHash) {
    auto a = tenBytes();
    EXPECT_EQ(*a->at(9), '9');
    EXPECT_THROW(a->at(10), KvHandle<KvException>);
    auto zero = KvByteArray::sCreate(4);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(*zero->at(i), 0);
    const char two[] = {1, 2};
    EXPECT_EQ(KvByteArray::sCreate(2, two)->hash(), 0u);
    EXPECT_TRUE(KvByteArray::sFromString(nullptr).isNull());
    EXPECT_EQ(KvByteArray::sFromString("abc")->size(), 3u);

    auto tail = KvByteArray::sCopy(a, 0, 7);
    EXPECT_EQ(std::string(tail->getData(), tail->size()), "789");
    auto over = KvByteArray::sCopy(a, 5, 8);
    EXPECT_EQ(std::string(over->getData(), 2), "89");

    auto target = KvByteArray::sCreate(4);
    target->copyFrom(0, a, 3, 50); // offset past the source: nothing
    EXPECT_EQ(*target->at(0), 0);
    target->copyFrom(2, a, 5, 0); // cut at the target's end
    EXPECT_EQ(std::string(target->getData() + 2, 2), "01");
    target->copyIn(4, "zz", 2, 0);

    KvHandle<KvObject> copy(a->clone());
    EXPECT_EQ(std::string(static_cast<KvByteArray*>(copy.get())->getData(), 10), "0123456789");
    EXPECT_EQ(a->compareWith(a.get()), 0);
    EXPECT_THROW(a->compareWith(copy.get()), KvHandle<KvException>);
}

// A range moved within one array comes out as a copy through a temporary would give it.
TEST(KvByteArray, CopyWithinItselfMovesTheRange) {
    auto left = tenBytes();
    left->copyFrom(0, left, 9, 1);
    EXPECT_EQ(std::string(left->getData(), 10), "1234567899");
    auto right = tenBytes();
    right->copyFrom(1, right, 9, 0);
    EXPECT_EQ(std::string(right->getData(), 10), "0012345678");
}

TEST(KvByteArrayInputStream, WindowsAreClamped) {
    auto a = tenBytes();
    KvByteArrayInputStream fromTwo(a, 2, 0);
    std::string read;
    for (int c; (c = fromTwo.read()) >= 0;)
        read.push_back(static_cast<char>(c));
    EXPECT_EQ(read, "23456789");

    KvByteArrayInputStream longWindow(a, 2, 100);
    EXPECT_EQ(longWindow.available(), 8);
    KvByteArrayInputStream pastEnd(a, 50, 3);
    EXPECT_EQ(pastEnd.available(), 0);
    EXPECT_EQ(pastEnd.read(), -1);
    KvByteArrayInputStream nullArray(KvHandle<KvByteArray>(), 0, 0);
    EXPECT_EQ(nullArray.read(), -1);
    EXPECT_EQ(nullArray.available(), 0);

    KvByteArrayInputStream s(a, 7, 0);
    char buffer[8];
    EXPECT_EQ(s.read(buffer, 0, 0), 0);
    EXPECT_EQ(s.read(buffer, 5, 0), 3);
    EXPECT_EQ(s.read(buffer, 5, 0), -1);
    EXPECT_EQ(s.read(buffer, 0, 0), -1);
}

TEST(KvByteArrayInputStream, MarkResetAndSkip) {
    auto a = tenBytes();
    KvByteArrayInputStream s(a, 3, 0);
    EXPECT_EQ(s.read(), '3');
    s.reset(); // no mark yet: back to the window's start
    EXPECT_EQ(s.read(), '3');
    s.mark(1);
    EXPECT_EQ(s.read(), '4');
    s.reset();
    EXPECT_EQ(s.read(), '4');
    EXPECT_EQ(s.skip(3), 3);
    EXPECT_EQ(s.read(), '8');
    EXPECT_EQ(s.skip(1000), 1);
    EXPECT_EQ(s.skip(1000), 0);

    KvByteArrayInputStream eightOfTen(a, 8, 0);
    EXPECT_EQ(eightOfTen.skip(1000), 2);
    EXPECT_EQ(eightOfTen.read(), -1);
}

namespace {
// A stream with the default read(buffer) and skip, which throws after two bytes.
class FlakyStream : public KvInputStream {
public:
    int read() override {
        if (m_next == 2)
            KvException::sThrow("flaky");
        return 'a' + m_next++;
    }
    using KvInputStream::read;
    int m_next = 0;
};
} // namespace

TEST(KvInputStream, DefaultReadStopsAtAnExceptionAfterData) {
    FlakyStream s;
    char buffer[8];
    EXPECT_EQ(s.read(buffer, 8, 0), 2);
    EXPECT_THROW(s.read(buffer, 8, 0), KvHandle<KvException>);
    EXPECT_FALSE(s.markSupported());
    try {
        s.reset();
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "KvInputStream::reset()");
    }
}

TEST(KvOutputStream, FormattingOperators) {
    KvStringOutputStream out;
    out << -5 << ' ' << 7u << ' ' << KvHex(255) << ' ' << 1.5 << ' '
        << static_cast<const char*>(nullptr) << "x" << static_cast<short>(-2) << 3000000000ul
        << endl;
    EXPECT_EQ(out.text, "-5 7 000000FF 1.500000 x-23000000000\n");
    // The largest doubles are written whole, never cut to a fixed buffer.
    KvStringOutputStream big;
    big << -1.0e308;
    EXPECT_EQ(big.text.size(), 1u + 309u + 1u + 6u);
    EXPECT_EQ(big.text.substr(0, 3), "-10");
    EXPECT_EQ(big.text.substr(big.text.size() - 7), ".000000");
    auto a = tenBytes();
    KvStringOutputStream arrayOut;
    arrayOut.write(a, 8, 0);
    arrayOut.write(a, 2, 3);
    arrayOut.write(a, 20, 3);
    EXPECT_EQ(arrayOut.text, "89234");
}
