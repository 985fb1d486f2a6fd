#include "KvSipCSeqHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipCSeqHeader::KvSipCSeqHeader() : m_number(0) {}

KvSipCSeqHeader::KvSipCSeqHeader(uint32_t number, const char* method)
    : m_number(number), m_method(method) {}

void KvSipCSeqHeader::doParse(KvInputStream& stream) {
    m_number = KvStreamTokenizer::readUnsignedNumber(stream);
    // Methods are short; a stack buffer spares a stream without a window an allocation.
    char buffer[64];
    KvString longer;
    const std::string_view method = KvStreamTokenizer::takeToken(stream, kvSipTokenSeparatorClass,
                                                                 buffer, sizeof buffer, longer);
    if (method.empty())
        KvSipParseError::raise("Invalid CSeq header");
    m_method.setText(method.data(), static_cast<uint32_t>(method.size()));
}

void KvSipCSeqHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_number) << ' ';
    stream.write(m_method.data(), m_method.length(), 0);
}
