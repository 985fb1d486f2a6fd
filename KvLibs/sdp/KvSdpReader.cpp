#include "KvSdpReader.h"

#include "KvException.h"
#include "KvInputStream.h"

void KvSdpReader::requireMarks(KvInputStream& stream) {
    if (!stream.markSupported())
        KvException::sThrow("Can only tokenize streams where mark supported");
}

int KvSdpReader::peek(KvInputStream& stream) {
    requireMarks(stream);
    stream.mark(1);
    int c = stream.read();
    stream.reset();
    return c;
}

bool KvSdpReader::isAtLineEnd(KvInputStream& stream) {
    requireMarks(stream);
    stream.mark(-1);
    int c;
    do {
        c = stream.read();
    } while (c == ' ' || c == '\t' || c == '\r');
    stream.reset();
    return c == '\n' || c < 0;
}

void KvSdpReader::skipBlanks(KvInputStream& stream) {
    requireMarks(stream);
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (!isBlank(c)) {
            stream.reset();
            return;
        }
    }
}

KvString KvSdpReader::readToken(KvInputStream& stream) {
    skipBlanks(stream);
    std::string token;
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            stream.reset();
            break;
        }
        token.push_back(static_cast<char>(c));
    }
    return KvString(token.c_str());
}

bool KvSdpReader::readRestOfLine(KvInputStream& stream, std::string& line, size_t maxLength,
                                 bool keepBlanks) {
    if (keepBlanks)
        requireMarks(stream);
    else
        skipBlanks(stream);
    line.clear();
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0)
            return true;
        if (c == '\n')
            return true;
        if (c == '\r') {
            if (stream.read() != '\n')
                KvException::sThrow("carriage return without newline");
            return true;
        }
        if (line.size() >= maxLength) {
            stream.reset();
            return false;
        }
        line.push_back(static_cast<char>(c));
    }
}

KvString KvSdpReader::readRestOfLine(KvInputStream& stream) {
    std::string line;
    readRestOfLine(stream, line);
    return KvString(line.c_str());
}

void KvSdpReader::skipLineEnd(KvInputStream& stream) {
    requireMarks(stream);
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c == ' ' || c == '\t' || c == '\r')
            continue;
        if (c != '\n')
            stream.reset();
        return;
    }
}

bool KvSdpReader::toNumber(std::string_view text, uint32_t max, uint32_t& value) {
    if (text.empty())
        return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
        if (result > max)
            return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

std::vector<KvString> KvSdpReader::split(std::string_view text) {
    std::vector<KvString> pieces;
    size_t start = 0;
    for (;;) {
        size_t space = text.find(' ', start);
        if (space == std::string_view::npos) {
            pieces.emplace_back(std::string(text.substr(start)).c_str());
            return pieces;
        }
        if (space > start)
            pieces.emplace_back(std::string(text.substr(start, space - start)).c_str());
        start = space + 1;
    }
}

KvString KvSdpReader::join(const std::vector<KvString>& pieces) {
    std::string text;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i)
            text.push_back(' ');
        text.append(pieces[i].c_str());
    }
    return KvString(text.c_str());
}

namespace {
std::string beforeBracket(std::string_view text, size_t bracket) {
    std::string_view part = text.substr(0, bracket);
    while (!part.empty() && KvSdpReader::isBlank(part.back()))
        part.remove_suffix(1);
    return std::string(part);
}

std::string inBrackets(std::string_view text, size_t open, char close) {
    size_t end = text.find(close, open + 1);
    if (end == std::string_view::npos)
        end = text.size();
    return std::string(text.substr(open + 1, end - open - 1));
}
} // namespace

int32_t KvSdpReader::splitContact(std::string_view text, std::string& address,
                                  std::string& displayName) {
    size_t p = text.find('(');
    if (p != std::string_view::npos) {
        displayName = inBrackets(text, p, ')');
        address = beforeBracket(text, p);
        return 2;
    }
    p = text.find('<');
    if (p != std::string_view::npos) {
        address = inBrackets(text, p, '>');
        displayName = beforeBracket(text, p);
        return 1;
    }
    address = std::string(text);
    displayName.clear();
    return 0;
}
