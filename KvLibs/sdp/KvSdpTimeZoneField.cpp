#include "KvSdpTimeZoneField.h"

#include "KvInputStream.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSdpReader.h"

#include <string>

namespace {
const char* const kInvalid = "KvSdpTimeField::Invalid Time Zone Field";
constexpr size_t kMaxText = 510;
constexpr size_t kMinTimeDigits = 10;

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

void appendChecked(std::string& copy, const std::string& text) {
    if (copy.size() + text.size() > kMaxText)
        KvException::sThrow(kInvalid);
    copy.append(text);
}

// Consumes the LF after a CR; anything else stays for the next line.
void consumeLf(KvInputStream& stream) {
    stream.mark(1);
    if (stream.read() != '\n')
        stream.reset();
}

// The character after an offset (or its unit): true when another adjustment follows.
bool endOfOffset(KvInputStream& stream, std::string& copy, const char* invalid) {
    int c = stream.read();
    if (c == ' ') {
        appendChecked(copy, " ");
        return true;
    }
    if (c == '\r')
        consumeLf(stream);
    else if (c != '\n' && c >= 0) // the end of the text ends the value like a line end
        KvException::sThrow(invalid);
    return false;
}
} // namespace

KvSdpTimeZoneField::KvSdpTimeZoneField() : KvSdpField("z") {}

KvSdpTimeZoneField::KvSdpTimeZoneField(const char* text) : KvSdpTimeZoneField() {
    parseText(text);
}

KvSdpTimeZoneField::~KvSdpTimeZoneField() = default;

void KvSdpTimeZoneField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpTimeZoneField::parse() Incomplete Time Zone Field");
    KvSdpReader::skipBlanks(stream);
    std::string copy;
    for (;;) {
        // Adjustment time: at least ten digits, the first not 0, ended by a space.
        std::string time;
        int c = stream.read();
        if (c < '1' || c > '9')
            KvException::sThrow(kInvalid);
        time.push_back(static_cast<char>(c));
        while (isDigit(c = stream.read())) {
            time.push_back(static_cast<char>(c));
            if (time.size() > kMaxText)
                KvException::sThrow(kInvalid);
        }
        if (time.size() < kMinTimeDigits || c != ' ')
            KvException::sThrow(kInvalid);
        appendChecked(copy, time + " ");

        stream.mark(1);
        if (stream.read() == '-')
            appendChecked(copy, "-");
        else
            stream.reset();

        // Offset: decimal digits on this line, rewritten without leading zeros.
        KvSdpReader::skipBlanks(stream);
        uint64_t offset = 0;
        size_t digits = 0;
        for (;;) {
            stream.mark(1);
            c = stream.read();
            if (!isDigit(c)) {
                stream.reset();
                break;
            }
            offset = offset * 10 + static_cast<uint64_t>(c - '0');
            if (offset > UINT32_MAX)
                KvException::sThrow(kInvalid);
            ++digits;
        }
        if (digits == 0)
            KvException::sThrow("unsigned number expected");
        appendChecked(copy, std::to_string(offset));

        stream.mark(1);
        c = stream.read();
        if (c == 'd' || c == 'h' || c == 'm' || c == 's') {
            appendChecked(copy, std::string(1, static_cast<char>(c)));
            if (!endOfOffset(stream, copy, kInvalid))
                break;
            continue;
        }
        stream.reset();
        if (!endOfOffset(stream, copy, "KvSdpTimeField::Invalid Time Zone Field 1"))
            break;
    }
    setValue(copy.c_str());
}

void KvSdpTimeZoneField::serialize(KvOutputStream& stream) const {
    if (m_adjustments.empty())
        KvException::sThrow("No time zone elements in KvSdpTimeZoneField::serialize()");
    stream << "z=" << getValueText() << "\r\n";
}

void KvSdpTimeZoneField::setValue(const char* text) {
    if (!text)
        return;
    std::string_view value(text);
    size_t lineEnd = value.find_first_of("\r\n");
    if (lineEnd != std::string_view::npos)
        value = value.substr(0, lineEnd);
    m_adjustments.clear();
    size_t start = 0;
    size_t spaces = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != ' ' || ++spaces % 2 != 0)
            continue;
        m_adjustments.emplace_back(std::string(value.substr(start, i - start)).c_str());
        start = i + 1;
    }
    if (start < value.size())
        m_adjustments.emplace_back(std::string(value.substr(start)).c_str());
}

KvString KvSdpTimeZoneField::getValueText() const {
    return KvSdpReader::join(m_adjustments);
}
