#include "KvSdpOriginField.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpReader.h"

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
// The six values straight from the bytes a stream shows; false for a stream that shows none.
bool parseShown(KvInputStream& stream, KvConstString (&values)[6]) {
    KvSdpShownBytes bytes(stream);
    if (!bytes.shown())
        return false;
    for (KvConstString& value : values) {
        if (bytes.isAtLineEnd())
            KvException::sThrow(kIncomplete);
        KvSdpReader::assign(value, bytes.readToken());
    }
    if (!bytes.isAtLineEnd())
        KvException::sThrow(kIncomplete);
    bytes.skipLineEnd();
    return true;
}
} // namespace

void KvSdpOriginField::parse(KvInputStream& stream) {
    KvConstString values[6];
    if (!parseShown(stream, values)) {
        KvSdpLine token;
        for (KvConstString& value : values) {
            if (KvSdpReader::isAtLineEnd(stream))
                KvException::sThrow(kIncomplete);
            KvSdpReader::readToken(stream, token);
            KvSdpReader::assign(value, token.view());
        }
        // A seventh value would otherwise be read as a line of its own.
        if (!KvSdpReader::isAtLineEnd(stream))
            KvException::sThrow(kIncomplete);
        KvSdpReader::skipLineEnd(stream);
    }
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
    KvSdpLineWriter line(stream);
    line << "o=" << m_userName << " " << m_sessionId << " " << m_version << " " << m_networkType
         << " " << m_addressType << " " << m_address << "\r\n";
    line.flush();
}
