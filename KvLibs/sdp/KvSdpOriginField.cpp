#include "KvSdpOriginField.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvInputStream.h"
#include "KvSdpReader.h"

#include <string_view>
#include <utility>

namespace {
const char* const kIncomplete = "KvSdpOriginField::serialize() Incomplete Origin Field";
}

KvSdpOriginField::KvSdpOriginField() : KvSdpField("o") {}

KvSdpOriginField::KvSdpOriginField(const char* text) : KvSdpOriginField() {
    parseText(text);
}

KvSdpOriginField::~KvSdpOriginField() = default;

namespace {
// The six values straight from the bytes a stream shows, with the outcome of the stream reading in
// parse, the position on failure included. False for a stream that shows none.
bool parseShown(KvInputStream& stream, KvString (&values)[6]) {
    uint32_t available = 0;
    const char* bytes = stream.peek(available);
    if (!bytes)
        return false;
    uint32_t n = 0;
    const auto fail = [&] {
        stream.skip(n);
        KvException::sThrow(kIncomplete);
    };
    const auto atLineEnd = [&] {
        uint32_t end = n;
        while (end < available && (bytes[end] == ' ' || bytes[end] == '\t' || bytes[end] == '\r'))
            ++end;
        return end == available || bytes[end] == '\n';
    };
    for (KvString& value : values) {
        if (atLineEnd())
            fail();
        while (n < available && KvSdpReader::isBlank(bytes[n]))
            ++n;
        const uint32_t start = n;
        while (n < available && bytes[n] != ' ' && bytes[n] != '\t' && bytes[n] != '\r' &&
               bytes[n] != '\n')
            ++n;
        value = KvSdpReader::toString(std::string_view(bytes + start, n - start));
    }
    if (!atLineEnd())
        fail();
    while (n < available && (bytes[n] == ' ' || bytes[n] == '\t' || bytes[n] == '\r'))
        ++n;
    // Left as skipLineEnd leaves it: marked at the line feed, past it.
    stream.skip(n);
    stream.mark(1);
    if (n < available)
        stream.skip(1);
    return true;
}
} // namespace

void KvSdpOriginField::parse(KvInputStream& stream) {
    KvString values[6];
    if (parseShown(stream, values)) {
        m_userName = std::move(values[0]);
        m_sessionId = std::move(values[1]);
        m_version = std::move(values[2]);
        m_networkType = std::move(values[3]);
        m_addressType = std::move(values[4]);
        m_address = std::move(values[5]);
        return;
    }
    for (KvString& value : values) {
        if (KvSdpReader::isAtLineEnd(stream))
            KvException::sThrow(kIncomplete);
        value = KvSdpReader::readToken(stream);
    }
    // A seventh value would otherwise be read as a line of its own.
    if (!KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvSdpReader::skipLineEnd(stream);
    m_userName = std::move(values[0]);
    m_sessionId = std::move(values[1]);
    m_version = std::move(values[2]);
    m_networkType = std::move(values[3]);
    m_addressType = std::move(values[4]);
    m_address = std::move(values[5]);
}

void KvSdpOriginField::serialize(KvOutputStream& stream) const {
    if (m_userName.isEmpty() || m_sessionId.isEmpty() || m_version.isEmpty() ||
        m_networkType.isEmpty() || m_addressType.isEmpty() || m_address.isEmpty())
        KvException::sThrow(kIncomplete);
    stream << "o=" << m_userName << " " << m_sessionId << " " << m_version << " " << m_networkType
           << " " << m_addressType << " " << m_address << "\r\n";
}
