// A target that fails one chosen write, and the check that every write-out which gathers or buffers
// leaves the target a prefix of its text whichever write fails.
#pragma once

#include "KvBufferedOutputStream.h"
#include "KvException.h"
#include "KvOutputStream.h"

#include <gtest/gtest.h>

#include <string>

// Its k-th write (bytes and runs alike) fails once, after taking the first half of the run, as a
// full disk would, and says so through writeCounted; every other write is taken whole.
class KvFailingTarget : public KvOutputStream {
public:
    explicit KvFailingTarget(uint32_t failing) : m_failing(failing) {}
    using KvOutputStream::write;
    void write(uint8_t byte) override { write(&byte, 1, 0); }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        uint32_t taken = 0;
        writeCounted(buffer, length, offset, taken);
    }
    void writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                      uint32_t& taken) override {
        taken = 0;
        if (!buffer)
            return;
        const char* bytes = static_cast<const char*>(buffer) + offset;
        taken = ++m_writes == m_failing ? length / 2 : length;
        text.append(bytes, taken);
        if (taken < length)
            KvException::sThrow("target failed");
    }
    std::string text;

private:
    uint32_t m_failing;
    uint32_t m_writes = 0;
};

// Overrides write(uint8_t) alone, as the simplest target does: its k-th byte fails once.
class KvFailingByteTarget : public KvOutputStream {
public:
    explicit KvFailingByteTarget(uint32_t failing) : m_failing(failing) {}
    using KvOutputStream::write;
    void write(uint8_t byte) override {
        if (++m_bytes == m_failing)
            KvException::sThrow("target failed");
        text.push_back(static_cast<char>(byte));
    }
    std::string text;

private:
    uint32_t m_failing;
    uint32_t m_bytes = 0;
};

inline ::testing::AssertionResult kvIsPrefixOf(const std::string& text, const std::string& whole) {
    if (text.size() <= whole.size() && whole.compare(0, text.size(), text) == 0)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < text.size() && at < whole.size() && text[at] == whole[at])
        ++at;
    return ::testing::AssertionFailure() << text.size() << " bytes written, of " << whole.size()
                                         << "; the first that differs at " << at;
}

// Fails the target's first write, then its second, and so on until the write-out no longer fails;
// straight to the target and through buffered streams of two sizes. After each failure the target
// holds a prefix of the text (once the buffered stream has handed on what it held), and the
// write-out done again adds the whole text once.
template <class Target = KvFailingTarget, class WriteOut>
void kvExpectAPrefixWhicheverWriteFails(const std::string& whole, WriteOut writeOut) {
    for (uint32_t bufferSize : {0u, 512u, 4096u}) {
        for (uint32_t failing = 1;; ++failing) {
            SCOPED_TRACE("buffer " + std::to_string(bufferSize) + ", write " +
                         std::to_string(failing) + " fails");
            KvHandle<Target> target(new Target(failing));
            KvHandle<KvOutputStream> out(target);
            if (bufferSize)
                out = new KvBufferedOutputStream(target, bufferSize);
            bool failed = false;
            try {
                writeOut(*out);
                out->flush();
            } catch (KvHandle<KvException>&) {
                failed = true;
            }
            out->flush(); // the target takes everything now
            const std::string left = target->text;
            ASSERT_TRUE(kvIsPrefixOf(left, whole));
            if (!failed) {
                ASSERT_EQ(left.size(), whole.size());
                break;
            }
            writeOut(*out);
            out->flush();
            ASSERT_TRUE(target->text.size() == left.size() + whole.size() &&
                        target->text.compare(left.size(), whole.size(), whole) == 0)
                << "again: " << target->text.size() - left.size() << " bytes of " << whole.size();
        }
    }
}
