#include "KvSipCallIdHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipCallIdHeader::KvSipCallIdHeader(const char* text) : m_callId(text) {
    KvSipParseError::refuseLineEnd(text, *this);
}

namespace {
constexpr KvCharClass kBlanks{" \t\r\n"};
} // namespace

void KvSipCallIdHeader::doParse(KvInputStream& stream) {
    char buffer[256];
    KvString longer;
    const std::string_view callId =
        KvStreamTokenizer::takeToken(stream, kBlanks, buffer, sizeof buffer, longer);
    if (callId.empty())
        KvSipParseError::raise("Invalid Call-ID header");
    m_callId.setText(callId.data(), static_cast<uint32_t>(callId.size()));
}

void KvSipCallIdHeader::serialize(KvOutputStream& stream) const {
    stream.write(m_callId.data(), m_callId.length(), 0);
}
