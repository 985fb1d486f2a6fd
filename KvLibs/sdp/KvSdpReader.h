// Reading inside one SDP line. Nothing here passes a line end, so a field whose value is missing a
// part can never take that part from the line that follows; the end of the text counts as a line
// end. Also the checked number conversions and the list splitting that the field classes share.
#pragma once

#include "KvStringBuffer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class KvInputStream;

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
    // Blanks (unless keepBlanks), then the rest of the line without its line end, which is
    // consumed (LF or CR LF; a CR without LF throws "carriage return without newline"). False when
    // more than maxLength characters stand on the line; the stream is then left inside the line.
    static bool readRestOfLine(KvInputStream& stream, std::string& line,
                               size_t maxLength = SIZE_MAX, bool keepBlanks = false);
    static KvString readRestOfLine(KvInputStream& stream);
    // Passes over blanks and CR and consumes one LF when it follows.
    static void skipLineEnd(KvInputStream& stream);

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

    static bool isBlank(int c) { return c == ' ' || c == '\t'; }

private:
    static void requireMarks(KvInputStream& stream);
};
