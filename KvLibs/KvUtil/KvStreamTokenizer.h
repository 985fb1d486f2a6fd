// Look-ahead reading of tokens, numbers, quoted strings and lines from a stream with mark and
// reset. Every SIP and SDP parser reads through these.
#pragma once

#include "KvStringBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

class KvInputStream;

// A set of byte values built from a delimiter text (at compile time for a constant one), so that a
// scanner tests a byte with one look-up instead of a walk along the text. Bytes are members by
// their 8-bit value, as they compare with a delimiter text's characters.
class KvCharClass {
public:
    constexpr KvCharClass() = default;
    // A constant text: the class is built at compile time.
    template <size_t N> constexpr explicit KvCharClass(const char (&members)[N]) {
        for (size_t i = 0; i + 1 < N && members[i]; ++i)
            add(members[i]);
    }
    // Any text, at run time.
    static KvCharClass of(const char* members) {
        KvCharClass set;
        set.add(members);
        return set;
    }
    void add(const char* members) {
        for (; members && *members; ++members)
            add(*members);
    }
    constexpr void add(char member) { m_members[static_cast<uint8_t>(member)] = true; }
    // c is a byte as read, 0 to 255; the end of a stream (-1) belongs to no class.
    constexpr bool contains(int c) const { return c >= 0 && m_members[c & 0xFF]; }
    // The count of bytes at the start of the text that are not members: the scanners' inner loop,
    // four bytes a step.
    uint32_t spanOutside(const char* bytes, uint32_t length) const {
        uint32_t n = 0;
        for (; n + 4 <= length; n += 4) {
            if (m_members[static_cast<uint8_t>(bytes[n])])
                return n;
            if (m_members[static_cast<uint8_t>(bytes[n + 1])])
                return n + 1;
            if (m_members[static_cast<uint8_t>(bytes[n + 2])])
                return n + 2;
            if (m_members[static_cast<uint8_t>(bytes[n + 3])])
                return n + 3;
        }
        while (n < length && !m_members[static_cast<uint8_t>(bytes[n])])
            ++n;
        return n;
    }

private:
    // A byte per value rather than a bit: the scanners' inner loops test with one load.
    bool m_members[256] = {};
};

class KvStreamTokenizer {
public:
    static int skipWhitespace(KvInputStream& stream);
    static uint32_t tokenLength(KvInputStream& stream, const char* delimiters);
    static uint32_t tokenLength(KvInputStream& stream, const KvCharClass& delimiters);
    static uint32_t readUnsignedNumber(KvInputStream& stream);
    static double readFloat(KvInputStream& stream);
    static void skipLine(KvInputStream& stream);
    static bool readTokenToBuffer(KvInputStream& stream, const char* delimiters, char* buffer,
                                  uint32_t size);
    static bool readTokenToBuffer(KvInputStream& stream, const KvCharClass& delimiters,
                                  char* buffer, uint32_t size);
    // The token readTokenToBuffer reads, without a copy when the stream shows its bytes: the text
    // then lies in them, whatever its length. Otherwise it is copied to buffer, NUL-terminated,
    // when it fits in size - 1 bytes; when not, the text is null and only the white space read.
    static std::string_view takeToken(KvInputStream& stream, const KvCharClass& delimiters,
                                      char* buffer, uint32_t size);
    // The same for a token of any length: one that does not fit the buffer is read into longer.
    static std::string_view takeToken(KvInputStream& stream, const KvCharClass& delimiters,
                                      char* buffer, uint32_t size, KvString& longer);
    // The token in the bytes the stream shows, taken where it lies as takeToken takes it; a null
    // text, with nothing read, when the stream shows none.
    static std::string_view takeShownToken(KvInputStream& stream, const char* delimiters);
    static std::string_view takeShownToken(KvInputStream& stream, const KvCharClass& delimiters);
    // The count of bytes before the first CR or LF (all of them when there is none).
    static uint32_t lineLengthIn(const char* bytes, uint32_t available) {
        return lengthIn(bytes, available, "\r\n");
    }
    static bool readLineToBuffer(KvInputStream& stream, char* buffer, uint32_t size);
    static KvString readLine(KvInputStream& stream);
    static bool isAtLineEnd(KvInputStream& stream);
    static bool peekToken(KvInputStream& stream, const char* delimiters, char* buffer,
                          uint32_t size);
    static KvString readQuotedString(KvInputStream& stream);

    // Reads until count bytes are in or the stream ends: the count read, -1 when nothing was.
    static int32_t readFully(KvInputStream& stream, void* buffer, int32_t count);

    static bool isWhitespace(int c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
    // Where the blanks, tabs, CRs and LFs from `from` on end: the index of the next other byte,
    // or available (from the start, their count).
    static uint32_t whitespaceEnd(const char* bytes, uint32_t available, uint32_t from = 0) {
        while (from < available && isWhitespace(static_cast<uint8_t>(bytes[from])))
            ++from;
        return from;
    }
    static bool isDelimiter(int c, const char* delimiters) {
        for (const char* d = delimiters; *d; ++d)
            if (static_cast<signed char>(*d) == static_cast<signed char>(c))
                return true;
        return false;
    }

    // Throws for a stream without mark and reset, which no tokenizing can do without.
    static void requireMarks(KvInputStream& stream);

private:
    // The length of the token at the start of the bytes shown.
    static uint32_t lengthIn(const char* bytes, uint32_t available, const char* delimiters);
    static uint32_t lengthIn(const char* bytes, uint32_t available, const KvCharClass& delimiters);
    // The token ahead in the bytes the stream shows, white space passed over and the mark set at
    // its start; null when the stream shows none.
    template <class Delimiters>
    static const char* shownToken(KvInputStream& stream, const Delimiters& delimiters,
                                  uint32_t& length);
    template <class Delimiters>
    static std::string_view takeShownTokenOf(KvInputStream& stream, const Delimiters& delimiters);
    template <class Delimiters>
    static bool readTokenToBufferOf(KvInputStream& stream, const Delimiters& delimiters,
                                    char* buffer, uint32_t size);
    static void readLineEnd(KvInputStream& stream);
};
