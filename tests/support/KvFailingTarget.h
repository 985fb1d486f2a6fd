// A target that fails one chosen write, and the check that every write-out which gathers or buffers
// leaves the target a prefix of its text whichever write fails.
#pragma once

#include "KvBufferedOutputStream.h"
#include "KvException.h"
#include "KvOutputStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A hex dump: its own write of a run hands two digits a byte to the base byte loop, and its k-th
// digit fails once. It cannot tell how many of a run's bytes it kept, so a stream over it may write
// some again; none may be lost.
class KvFailingHexTarget : public KvFailingByteTarget {
public:
    using KvFailingByteTarget::KvFailingByteTarget;
    using KvOutputStream::write;
    void write(uint8_t byte) override {
        if (m_inDigits)
            KvFailingByteTarget::write(byte);
        else
            write(&byte, 1, 0);
    }
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (!buffer)
            return;
        const std::string digits =
            sEncode(std::string(static_cast<const char*>(buffer) + offset, length));
        m_inDigits = true;
        try {
            KvOutputStream::write(digits.data(), static_cast<uint32_t>(digits.size()), 0);
        } catch (...) {
            m_inDigits = false;
            throw;
        }
        m_inDigits = false;
    }
    static std::string sEncode(const std::string& bytes) {
        std::string digits;
        for (unsigned char c : bytes) {
            digits.push_back("0123456789ABCDEF"[c >> 4]);
            digits.push_back("0123456789ABCDEF"[c & 15]);
        }
        return digits;
    }

private:
    bool m_inDigits = false;
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

// For a target that cannot tell what it kept: the start of the whole, and maybe a part of it
// written again from no later than where that start ended; no byte is skipped.
inline ::testing::AssertionResult kvLosesNothingOf(const std::string& text,
                                                   const std::string& whole) {
    size_t at = 0;
    while (at < text.size() && at < whole.size() && text[at] == whole[at])
        ++at;
    const size_t again = whole.find(text.data() + at, 0, text.size() - at);
    if (at == text.size() || (again != std::string::npos && again <= at))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << text.size() << " bytes written, of " << whole.size() << "; the start ends at " << at
           << " and what follows is no part of the whole before it";
}

// Fails the target's first write, then its second, and so on until the write-out no longer fails;
// straight to the target and through stacks of buffered streams (sizes, outermost first). After
// each failure the target holds a prefix of the text (once the stack has handed on what it held),
// and the write-out done again adds the whole text once.
template <class Target = KvFailingTarget, class WriteOut>
void kvExpectAPrefixWhicheverWriteFails(const std::string& whole, WriteOut writeOut) {
    constexpr bool encodes = requires {
        Target::sEncode(whole);
    };
    std::string expected;
    if constexpr (encodes)
        expected = Target::sEncode(whole);
    else
        expected = whole;
    const std::vector<std::vector<uint32_t>> stacks = {{},         {512},      {4096},
                                                       {4096, 64}, {64, 4096}, {512, 4096, 64}};
    for (const std::vector<uint32_t>& stack : stacks) {
        for (uint32_t failing = 1;; ++failing) {
            std::string name = "streams";
            for (uint32_t layer : stack)
                name += " " + std::to_string(layer);
            SCOPED_TRACE(name + ", write " + std::to_string(failing) + " fails");
            KvHandle<Target> target(new Target(failing));
            std::vector<KvHandle<KvOutputStream>> layers(1, target);
            for (auto layer = stack.rbegin(); layer != stack.rend(); ++layer) {
                layers.insert(layers.begin(), KvHandle<KvOutputStream>(new KvBufferedOutputStream(
                                                  layers.front(), *layer)));
            }
            KvOutputStream& out = *layers.front();
            // A buffered stream does not flush its target: each layer is flushed in turn.
            auto flushAll = [&layers] {
                for (const KvHandle<KvOutputStream>& layer : layers)
                    layer->flush();
            };
            bool failed = false;
            try {
                writeOut(out);
                flushAll();
            } catch (KvHandle<KvException>&) {
                failed = true;
            }
            flushAll(); // the target takes everything now
            const std::string left = target->text;
            if constexpr (encodes)
                ASSERT_TRUE(kvLosesNothingOf(left, expected));
            else
                ASSERT_TRUE(kvIsPrefixOf(left, expected));
            if (!failed) {
                ASSERT_EQ(left.size(), expected.size());
                break;
            }
            writeOut(out);
            flushAll();
            ASSERT_TRUE(target->text.size() == left.size() + expected.size() &&
                        target->text.compare(left.size(), expected.size(), expected) == 0)
                << "again: " << target->text.size() - left.size() << " bytes of "
                << expected.size();
        }
    }
}
