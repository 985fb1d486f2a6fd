// Reading inside one SDP line. Nothing here passes a line end, so a field whose value is missing a
// part can never take that part from the line that follows; the end of the text counts as a line
// end. Also the checked number conversions and the list splitting that the field classes share.
#pragma once

#include "KvConstString.h"
#include "KvStringBuffer.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

class KvInputStream;
class KvObject;
class KvOutputStream;

// One line of text, held in place unless it is long, so that reading a line costs no allocation.
class KvSdpLine {
public:
    KvSdpLine() : m_size(0), m_onHeap(false) { m_inline[0] = '\0'; }
    KvSdpLine(const KvSdpLine&) = delete;
    KvSdpLine& operator=(const KvSdpLine&) = delete;

    void clear() {
        m_size = 0;
        m_onHeap = false;
        m_inline[0] = '\0';
        m_heap.clear();
    }
    void push_back(char c) {
        if (!m_onHeap && m_size + 1 < sizeof(m_inline)) {
            m_inline[m_size++] = c;
            m_inline[m_size] = '\0';
            return;
        }
        if (!m_onHeap) {
            m_heap.assign(m_inline, m_size);
            m_onHeap = true;
        }
        m_heap.push_back(c);
        ++m_size;
    }
    void assign(const char* text, size_t length) {
        clear();
        if (length + 1 <= sizeof(m_inline)) {
            std::memcpy(m_inline, text, length);
            m_inline[length] = '\0';
        } else {
            m_heap.assign(text, length);
            m_onHeap = true;
        }
        m_size = length;
    }
    size_t size() const { return m_size; }
    // Always ends with a NUL.
    const char* c_str() const { return m_onHeap ? m_heap.c_str() : m_inline; }
    std::string_view view() const { return std::string_view(c_str(), m_size); }

private:
    char m_inline[256];
    std::string m_heap;
    size_t m_size;
    bool m_onHeap;
};

// A checked downcast for the SDP classes, whose objects are mostly of exactly the class asked for:
// that case is told by the type alone, without a search of the class tree.
template <class T, class U> T* kvSdpCast(U* object) {
    if (!object)
        return nullptr;
    if (typeid(*object) == typeid(T))
        return static_cast<T*>(object);
    return dynamic_cast<T*>(object);
}

// Reading inside one line straight from the bytes a stream shows (only for such a stream), with
// the outcome of the KvSdpReader calls of the same names. The stream moves past what was read when
// the cursor goes, whether the field was read whole or refused.
class KvSdpShownBytes {
public:
    explicit KvSdpShownBytes(KvInputStream& stream);
    KvSdpShownBytes(const KvSdpShownBytes&) = delete;
    KvSdpShownBytes& operator=(const KvSdpShownBytes&) = delete;
    ~KvSdpShownBytes();

    bool shown() const { return m_bytes != nullptr; }
    // -1 at the end.
    int peek() const {
        return m_position < m_length ? static_cast<uint8_t>(m_bytes[m_position]) : -1;
    }
    int read() { return m_position < m_length ? static_cast<uint8_t>(m_bytes[m_position++]) : -1; }
    bool isAtLineEnd() const;
    void skipBlanks();
    std::string_view readToken();
    // Also marks the stream where KvSdpReader::skipLineEnd leaves its mark.
    void skipLineEnd();
    bool readRestOfLine(std::string_view& line, size_t maxLength = SIZE_MAX,
                        bool keepBlanks = false);

private:
    KvInputStream& m_stream;
    uint32_t m_length = 0;
    const char* m_bytes;
    uint64_t m_position = 0;
};

// Gathers the pieces of one line on the stack and hands them to the stream in one write, in the
// same order and bytes as writing each piece; flush() hands them on.
class KvSdpLineWriter {
public:
    explicit KvSdpLineWriter(KvOutputStream& stream) : m_stream(stream) {}
    KvSdpLineWriter(const KvSdpLineWriter&) = delete;
    KvSdpLineWriter& operator=(const KvSdpLineWriter&) = delete;

    KvSdpLineWriter& operator<<(std::string_view text) {
        if (text.size() > sizeof(m_bytes) - m_count) {
            writeBeyond(text);
            return *this;
        }
        std::memcpy(m_bytes + m_count, text.data(), text.size());
        m_count += static_cast<uint32_t>(text.size());
        return *this;
    }
    KvSdpLineWriter& operator<<(const char* text) {
        return *this << std::string_view(text ? text : "");
    }
    KvSdpLineWriter& operator<<(const KvString& text) {
        return *this << std::string_view(text.c_str(), text.length());
    }
    KvSdpLineWriter& operator<<(const KvConstString& text) {
        return *this << std::string_view(text.c_str(), text.length());
    }
    KvSdpLineWriter& operator<<(char c) { return *this << std::string_view(&c, 1); }
    KvSdpLineWriter& operator<<(int32_t value);
    KvSdpLineWriter& operator<<(uint32_t value);
    void flush();

private:
    void writeBeyond(std::string_view text);

    KvOutputStream& m_stream;
    uint32_t m_count = 0;
    char m_bytes[256];
};

class KvSdpReader {
public:
    // The next character without consuming it; -1 at the end.
    static int peek(KvInputStream& stream);
    // True when only tab, CR or space stand before the next LF or the end; consumes nothing.
    static bool isAtLineEnd(KvInputStream& stream);
    // Passes over spaces and tabs.
    static void skipBlanks(KvInputStream& stream);
    // Blanks, then the characters up to the next space, tab, CR, LF or the end (left unread).
    static KvString readToken(KvInputStream& stream);
    static void readToken(KvInputStream& stream, KvSdpLine& token);
    // Blanks (unless keepBlanks), then the rest of the line without its line end, which is
    // consumed (LF or CR LF; a CR without LF throws "carriage return without newline"). False when
    // more than maxLength characters stand on the line; the stream is then left inside the line.
    static bool readRestOfLine(KvInputStream& stream, KvSdpLine& line, size_t maxLength = SIZE_MAX,
                               bool keepBlanks = false);
    static KvString readRestOfLine(KvInputStream& stream);
    // The text up to its end or first NUL as a string; an empty text gives the null string.
    static KvString toString(std::string_view text);
    // The same text kept in place of a counted string; an empty text leaves it null.
    static void assign(KvConstString& target, std::string_view text);
    // Passes over blanks and CR and consumes one LF when it follows.
    static void skipLineEnd(KvInputStream& stream);
    // A value given to a field or a session is written as part of one line: a CR or LF in it would
    // end that line and start another (a C text ends at its NUL, so none gets in). Throws
    // KvSdpParseError with the message when it holds one. Every text a caller hands in passes here;
    // what the parse stores comes from lines already cut at their ends.
    static void refuseLineEnd(const char* text, const char* message);
    // The same with the message "Attempting to set <class of owner> with a line break".
    static void refuseLineEnd(const char* text, const KvObject& owner);

    // The value of the decimal digits the text starts with, when there is one and it is at most
    // max; what follows the digits is not read.
    static bool toLeadingNumber(std::string_view text, uint32_t max, uint32_t& value);

    // A text made only of decimal digits whose value is at most max; nothing else converts.
    static bool toNumber(std::string_view text, uint32_t max, uint32_t& value);
    static bool toNumber(const char* text, uint32_t max, uint32_t& value) {
        return toNumber(std::string_view(text ? text : ""), max, value);
    }

    // Cut at every single space; empty pieces between two spaces are dropped, the piece after the
    // last space is always kept.
    static std::vector<KvString> split(std::string_view text);
    static KvString join(const std::vector<KvString>& pieces);

    // The e-mail and phone forms: 2 for "address (name)", 1 for "name <address>", 0 for a bare
    // address. The part before "(" or "<" loses its trailing blanks; a missing ")" or ">" lets the
    // bracketed part run to the end of the text.
    static int32_t splitContact(std::string_view text, std::string& address,
                                std::string& displayName);
    // Writes prefix and the address in the form splitContact gave; false, with nothing written,
    // for a form it does not give.
    static bool writeContact(KvOutputStream& stream, const char* prefix, int32_t form,
                             const KvString& address, const KvString& displayName);

    static bool isBlank(int c) { return c == ' ' || c == '\t'; }

private:
    static void requireMarks(KvInputStream& stream);
    static std::string_view upToNul(std::string_view text);
    // The digits at the start of the text taken as a number; 0 digits when there are none or
    // their value is above max.
    static size_t readDigits(std::string_view text, uint32_t max, uint32_t& value);
};
