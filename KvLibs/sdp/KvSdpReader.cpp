#include "KvSdpReader.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvLineText.h"
#include "KvObject.h"
#include "KvOutputStream.h"
#include "KvSdpParseError.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

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
    KvSdpShownBytes bytes(stream);
    if (bytes.shown())
        return bytes.isAtLineEnd();
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
    KvSdpShownBytes bytes(stream);
    if (bytes.shown()) {
        bytes.skipBlanks();
        return;
    }
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (!isBlank(c)) {
            stream.reset();
            return;
        }
    }
}

void KvSdpReader::readToken(KvInputStream& stream, KvSdpLine& token) {
    requireMarks(stream);
    token.clear();
    KvSdpShownBytes bytes(stream);
    if (bytes.shown()) {
        const std::string_view shown = bytes.readToken();
        token.assign(shown.data(), shown.size());
        return;
    }
    skipBlanks(stream);
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            stream.reset();
            return;
        }
        token.push_back(static_cast<char>(c));
    }
}

KvString KvSdpReader::readToken(KvInputStream& stream) {
    KvSdpLine token;
    readToken(stream, token);
    return toString(token.view());
}

bool KvSdpReader::readRestOfLine(KvInputStream& stream, KvSdpLine& line, size_t maxLength,
                                 bool keepBlanks) {
    requireMarks(stream);
    line.clear();
    {
        // The same outcome as the loop below, without a call per character.
        KvSdpShownBytes bytes(stream);
        if (bytes.shown()) {
            std::string_view shown;
            const bool whole = bytes.readRestOfLine(shown, maxLength, keepBlanks);
            line.assign(shown.data(), shown.size());
            return whole;
        }
    }
    if (!keepBlanks)
        skipBlanks(stream);
    for (;;) {
        int c = stream.read();
        if (c < 0 || c == '\n')
            return true;
        if (c == '\r') {
            if (stream.read() != '\n')
                KvException::sThrow("carriage return without newline");
            return true;
        }
        if (line.size() >= maxLength)
            return false;
        line.push_back(static_cast<char>(c));
    }
}

KvSdpShownBytes::KvSdpShownBytes(KvInputStream& stream)
    : m_stream(stream), m_bytes(stream.peek(m_length)) {}

KvSdpShownBytes::~KvSdpShownBytes() {
    if (m_position)
        m_stream.skip(static_cast<int64_t>(m_position));
}

bool KvSdpShownBytes::isAtLineEnd() const {
    uint64_t n = m_position;
    while (n < m_length && (m_bytes[n] == ' ' || m_bytes[n] == '\t' || m_bytes[n] == '\r'))
        ++n;
    return n >= m_length || m_bytes[n] == '\n';
}

void KvSdpShownBytes::skipBlanks() {
    while (m_position < m_length && KvSdpReader::isBlank(m_bytes[m_position]))
        ++m_position;
}

std::string_view KvSdpShownBytes::readToken() {
    skipBlanks();
    const uint64_t start = m_position;
    while (m_position < m_length && m_bytes[m_position] != ' ' && m_bytes[m_position] != '\t' &&
           m_bytes[m_position] != '\r' && m_bytes[m_position] != '\n')
        ++m_position;
    return std::string_view(m_bytes + start, m_position - start);
}

void KvSdpShownBytes::skipLineEnd() {
    while (m_position < m_length && (m_bytes[m_position] == ' ' || m_bytes[m_position] == '\t' ||
                                     m_bytes[m_position] == '\r'))
        ++m_position;
    // Marked at the line feed or whatever stands there instead, as the byte reading leaves it.
    m_stream.skip(static_cast<int64_t>(m_position));
    m_bytes += m_position;
    m_length -= static_cast<uint32_t>(m_position);
    m_position = 0;
    m_stream.mark(1);
    if (m_length && m_bytes[0] == '\n')
        m_position = 1;
}

bool KvSdpShownBytes::readRestOfLine(std::string_view& line, size_t maxLength, bool keepBlanks) {
    if (!keepBlanks)
        skipBlanks();
    const char* bytes = m_bytes + m_position;
    const uint64_t available = m_length - m_position;
    const void* lineFeed = std::memchr(bytes, '\n', available);
    uint64_t n =
        lineFeed ? static_cast<uint64_t>(static_cast<const char*>(lineFeed) - bytes) : available;
    if (const void* carriageReturn = std::memchr(bytes, '\r', n))
        n = static_cast<uint64_t>(static_cast<const char*>(carriageReturn) - bytes);
    if (n > maxLength) {
        line = std::string_view(bytes, maxLength);
        m_position += maxLength + 1;
        return false;
    }
    line = std::string_view(bytes, n);
    if (n < available && bytes[n] == '\r') {
        const bool lineFeedFollows = n + 1 < available && bytes[n + 1] == '\n';
        m_position += n + 2;
        if (!lineFeedFollows)
            KvException::sThrow("carriage return without newline");
        return true;
    }
    m_position += n + 1;
    return true;
}

KvSdpLineWriter& KvSdpLineWriter::operator<<(int32_t value) {
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof(digits), value);
    return *this << std::string_view(digits, static_cast<size_t>(end.ptr - digits));
}

KvSdpLineWriter& KvSdpLineWriter::operator<<(uint32_t value) {
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof(digits), value);
    return *this << std::string_view(digits, static_cast<size_t>(end.ptr - digits));
}

void KvSdpLineWriter::flush() {
    if (m_count) {
        const uint32_t count = m_count;
        m_count = 0;
        m_stream.write(m_bytes, count, 0);
    }
}

void KvSdpLineWriter::writeBeyond(std::string_view text) {
    flush();
    if (!text.empty())
        m_stream.write(text.data(), static_cast<uint32_t>(text.size()), 0);
}

KvString KvSdpReader::readRestOfLine(KvInputStream& stream) {
    KvSdpLine line;
    readRestOfLine(stream, line);
    return toString(line.view());
}

namespace {
// The words that most bodies repeat, and the payload type numbers, are shared strings that live
// as long as the process: their counts never move, and a body that holds them allocates nothing
// for them. A string is copied before it is changed, so sharing is safe.
class SharedTokens {
public:
    SharedTokens() {
        for (uint32_t value = 0; value < kNumbers; ++value)
            m_numbers[value] = permanent(std::to_string(value));
        static const char* const words[] = {"IN",          "IP4",      "IP6",
                                            "RTP/AVP",     "RTP/AVPF", "RTP/SAVP",
                                            "RTP/SAVPF",   "audio",    "video",
                                            "application", "rtpmap",   "fmtp",
                                            "ptime",       "maxptime", "sendrecv",
                                            "sendonly",    "recvonly", "inactive",
                                            "rtcp",        "PCMU",     "PCMA",
                                            "G722",        "G729",     "GSM",
                                            "iLBC",        "opus",     "telephone-event",
                                            "H261",        "H263",     "H264",
                                            "VP8",         "8000",     "16000",
                                            "48000",       "90000",    "-"};
        for (const char* word : words) {
            KvString& slot = m_words[slotOf(word)];
            if (slot.isNull())
                slot = permanent(word);
        }
    }

    const KvString* find(std::string_view text) const {
        const size_t size = text.size();
        if (size <= 3 && (size == 1 || text[0] != '0')) {
            uint32_t value = 0;
            size_t n = 0;
            while (n < size && text[n] >= '0' && text[n] <= '9')
                value = value * 10 + static_cast<uint32_t>(text[n++] - '0');
            if (n == size && value < kNumbers)
                return &m_numbers[value];
        }
        const KvString& word = m_words[slotOf(text)];
        const KvStringBuffer* buffer = word.get();
        if (buffer && buffer->length() == size &&
            std::memcmp(buffer->data(), text.data(), size) == 0)
            return &word;
        return nullptr;
    }

private:
    static constexpr uint32_t kNumbers = 128;
    static constexpr uint32_t kSlots = 128;

    static KvString permanent(std::string_view text) {
        KvString shared(KvStringBuffer::create(text.data(), static_cast<uint32_t>(text.size())));
        shared->setPermanent();
        return shared;
    }
    static uint32_t slotOf(std::string_view text) {
        const auto first = static_cast<unsigned char>(text.front());
        const auto last = static_cast<unsigned char>(text.back());
        const auto middle = static_cast<unsigned char>(text[text.size() / 2]);
        // Chosen so that no two of the words above share a slot.
        return (static_cast<uint32_t>(text.size()) + first + middle * 10 + last * 6) % kSlots;
    }

    KvString m_numbers[kNumbers];
    KvString m_words[kSlots];
};
} // namespace

std::string_view KvSdpReader::upToNul(std::string_view text) {
    // A C text ends at its first NUL; so does the string made from it.
    // An empty view may have no data at all, which strnlen must not be given.
    if (text.empty())
        return text;
    return text.substr(0, ::strnlen(text.data(), text.size()));
}

KvString KvSdpReader::toString(std::string_view text) {
    text = upToNul(text);
    if (text.empty())
        return KvString();
    static const SharedTokens shared;
    if (const KvString* token = shared.find(text))
        return *token;
    return KvString(KvStringBuffer::create(text.data(), static_cast<uint32_t>(text.size())));
}

void KvSdpReader::assign(KvConstString& target, std::string_view text) {
    text = upToNul(text);
    target.setText(text.empty() ? nullptr : text.data(), static_cast<uint32_t>(text.size()));
}

void KvSdpReader::refuseLineEnd(const char* text, const char* message) {
    if (KvLineText::holdsLineEnd(text))
        KvSdpParseError::sThrow(message);
}

void KvSdpReader::refuseLineEnd(const char* text, const KvObject& owner) {
    if (KvLineText::holdsLineEnd(text))
        KvSdpParseError::sThrow(
            (std::string("Attempting to set ") + owner.getClassName() + " with a line break")
                .c_str());
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

size_t KvSdpReader::readDigits(std::string_view text, uint32_t max, uint32_t& value) {
    uint64_t result = 0;
    size_t n = 0;
    for (; n < text.size() && text[n] >= '0' && text[n] <= '9'; ++n) {
        result = result * 10 + static_cast<uint64_t>(text[n] - '0');
        if (result > max)
            return 0;
    }
    if (n)
        value = static_cast<uint32_t>(result);
    return n;
}

bool KvSdpReader::toNumber(std::string_view text, uint32_t max, uint32_t& value) {
    uint32_t result = 0;
    if (text.empty() || readDigits(text, max, result) != text.size())
        return false;
    value = result;
    return true;
}

bool KvSdpReader::toLeadingNumber(std::string_view text, uint32_t max, uint32_t& value) {
    return readDigits(text, max, value) != 0;
}

std::vector<KvString> KvSdpReader::split(std::string_view text) {
    std::vector<KvString> pieces;
    pieces.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), ' ')) + 1);
    size_t start = 0;
    for (;;) {
        size_t space = text.find(' ', start);
        if (space == std::string_view::npos) {
            pieces.push_back(toString(text.substr(start)));
            return pieces;
        }
        if (space > start)
            pieces.push_back(toString(text.substr(start, space - start)));
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

bool KvSdpReader::writeContact(KvOutputStream& stream, const char* prefix, int32_t form,
                               const KvString& address, const KvString& displayName) {
    switch (form) {
    case 0:
        stream << prefix << address;
        return true;
    case 1:
        stream << prefix << displayName << " <" << address << ">";
        return true;
    case 2:
        stream << prefix << address << " (" << displayName << ")";
        return true;
    default:
        return false;
    }
}
