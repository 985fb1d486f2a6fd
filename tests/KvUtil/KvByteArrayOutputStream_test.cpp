#include "KvByteArrayOutputStream.h"
#include "KvBufferedOutputStream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TextSink : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        text.append(static_cast<const char*>(buffer) + offset, length);
    }
    void write(uint8_t byte) override { text.push_back(static_cast<char>(byte)); }
    std::string text;
};

std::string contents(const KvByteArrayOutputStream& stream) {
    KvHandle<KvByteArray> array = stream.toByteArray();
    return std::string(array->getData(), array->size());
}

TEST(KvByteArrayOutputStream, CollectsWhatIsWrittenInOrder) {
    KvByteArrayOutputStream stream(0);
    EXPECT_EQ(stream.toByteArray()->size(), 0u);
    stream << "INVITE " << 42 << ' ' << "sip:a" << endl;
    stream.write("xyzHELLO", 5, 3);
    stream.write(static_cast<uint8_t>('!'));
    stream.write(nullptr, 10, 0); // nothing
    stream.write("ignored", 0, 0);
    EXPECT_EQ(contents(stream), "INVITE 42 sip:a\nHELLO!");
    EXPECT_EQ(stream.getCount(), 22u);

    TextSink sink;
    stream.writeTo(sink);
    EXPECT_EQ(sink.text, "INVITE 42 sip:a\nHELLO!");
    KvByteArrayOutputStream empty(16);
    empty.writeTo(sink);
    EXPECT_EQ(sink.text.size(), 22u);
}

TEST(KvByteArrayOutputStream, GrowsInWholeStepsOf256) {
    KvByteArrayOutputStream stream(0);
    stream.write(static_cast<uint8_t>('a'));
    // 1 byte into no buffer makes 256 bytes of room; 300 more grow it by 512.
    std::string more(300, 'b');
    stream.write(more.data(), 300, 0);
    EXPECT_EQ(contents(stream), "a" + more);

    // Many small writes and a few large ones keep every byte in place.
    KvByteArrayOutputStream big(10);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string piece = std::to_string(i) + ";";
        if (i % 5000 == 0)
            piece += std::string(70000, static_cast<char>('A' + i % 26));
        big.write(piece.data(), static_cast<uint32_t>(piece.size()), 0);
        expected += piece;
    }
    EXPECT_EQ(contents(big), expected);
}

TEST(KvByteArrayOutputStream, ByteArraysAreSnapshots) {
    KvByteArrayOutputStream stream(4);
    stream.write("abcd", 4, 0);
    KvHandle<KvByteArray> first = stream.toByteArray();
    stream.write("ef", 2, 0);
    EXPECT_EQ(std::string(first->getData(), first->size()), "abcd");
    EXPECT_EQ(contents(stream), "abcdef");
}

TEST(KvByteArrayOutputStream, WrittenOntoItselfHoldsItsBytesTwice) {
    // Once with room to spare, once where the write must grow the buffer it reads from.
    for (uint32_t length : {100u, 200u}) {
        KvHandle<KvByteArrayOutputStream> out(new KvByteArrayOutputStream(0));
        std::string text;
        for (uint32_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>('a' + i % 26));
        out->write(text.data(), length, 0);
        out->writeTo(*out);
        EXPECT_EQ(contents(*out), text + text);
    }
    // Through a buffer over itself, whose held bytes go first and grow it.
    KvHandle<KvByteArrayOutputStream> out(new KvByteArrayOutputStream(0));
    std::string text(255, 'a');
    out->write(text.data(), 255, 0);
    KvHandle<KvBufferedOutputStream> buffered(new KvBufferedOutputStream(out.get(), 4));
    buffered->write("##", 2, 0);
    out->writeTo(*buffered);
    buffered->flush();
    EXPECT_EQ(contents(*out), text + "##" + text);
}

} // namespace
