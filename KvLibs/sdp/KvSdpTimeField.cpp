#include "KvSdpTimeField.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <string>

namespace {
const char* const kInvalid = "KvSdpTimeField::Invalid Time Field";
constexpr size_t kMaxDigits = 127;

// Reads a run of decimal digits; the character that ends it stays in the stream.
std::string readDigits(KvInputStream& stream) {
    std::string digits;
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < '0' || c > '9') {
            stream.reset();
            return digits;
        }
        if (digits.size() == kMaxDigits)
            KvException::sThrow(kInvalid);
        digits.push_back(static_cast<char>(c));
    }
}
} // namespace

KvSdpTimeField::KvSdpTimeField() : KvSdpField("t") {}

KvSdpTimeField::KvSdpTimeField(const char* text) : KvSdpTimeField() {
    parseText(text);
}

KvSdpTimeField::KvSdpTimeField(const char* start, const char* stop)
    : KvSdpField("t"), m_start(start), m_stop(stop) {
    if (m_start.isEmpty())
        KvSdpParseError::sThrow("Attempting to create Time field with blank start time");
    if (m_stop.isEmpty())
        KvSdpParseError::sThrow("Attempting to create Time field with blank stop time");
    for (const char* text : {start, stop})
        KvSdpReader::refuseLineEnd(text, "Attempting to create KvSdpTimeField with a line break");
}

KvSdpTimeField::~KvSdpTimeField() = default;

void KvSdpTimeField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpTimeField::parse Incomplete Time Field");
    KvSdpReader::skipBlanks(stream);
    std::string start = readDigits(stream);
    if (stream.read() != ' ')
        KvException::sThrow(kInvalid);
    std::string stop = readDigits(stream);
    // Text behind the stop time would otherwise be read as a line of its own.
    if (!KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kInvalid);
    m_start = KvSdpReader::toString(start);
    m_stop = KvSdpReader::toString(stop);
}

void KvSdpTimeField::serialize(KvOutputStream& stream) const {
    if (m_start.isEmpty() || m_stop.isEmpty())
        KvException::sThrow("KvSdpTimeField::serialize() Incomplete Time Field");
    KvSdpLineWriter line(stream);
    line << "t=" << m_start << " " << m_stop << "\r\n";
    line.flush();
}
