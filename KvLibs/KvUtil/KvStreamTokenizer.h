// Look-ahead reading of tokens, numbers, quoted strings and lines from a stream with mark and
// reset. Every SIP and SDP parser reads through these.
#pragma once

#include "KvStringBuffer.h"

#include <cstdint>

class KvInputStream;

class KvStreamTokenizer {
public:
    static int skipWhitespace(KvInputStream& stream);
    static uint32_t tokenLength(KvInputStream& stream, const char* delimiters);
    static uint32_t readUnsignedNumber(KvInputStream& stream);
    static double readFloat(KvInputStream& stream);
    static void skipLine(KvInputStream& stream);
    static bool readTokenToBuffer(KvInputStream& stream, const char* delimiters, char* buffer,
                                  uint32_t size);
    static bool readLineToBuffer(KvInputStream& stream, char* buffer, uint32_t size);
    static KvString readLine(KvInputStream& stream);
    static bool isAtLineEnd(KvInputStream& stream);
    static bool peekToken(KvInputStream& stream, const char* delimiters, char* buffer,
                          uint32_t size);
    static KvString readQuotedString(KvInputStream& stream);

    // Reads until count bytes are in or the stream ends: the count read, -1 when nothing was.
    static int32_t readFully(KvInputStream& stream, void* buffer, int32_t count);

    static bool isWhitespace(int c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
    static bool isDelimiter(int c, const char* delimiters) {
        for (const char* d = delimiters; *d; ++d)
            if (static_cast<signed char>(*d) == static_cast<signed char>(c))
                return true;
        return false;
    }

private:
    static void requireMarks(KvInputStream& stream);
    static void readLineEnd(KvInputStream& stream);
};
