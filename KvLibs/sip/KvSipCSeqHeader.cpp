#include "KvSipCSeqHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipCSeqHeader::KvSipCSeqHeader() : m_number(0) {}

KvSipCSeqHeader::KvSipCSeqHeader(uint32_t number, const char* method)
    : m_number(number), m_method(method) {
    KvSipParseError::refuseLineEnd(method, *this);
}

void KvSipCSeqHeader::doParse(KvInputStream& stream) {
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // Number and method straight from the bytes: the stream is moved once, and left past the
        // method, marked at its start, as the tokenizer leaves it.
        auto blanksFrom = [&](uint32_t at) {
            return KvStreamTokenizer::whitespaceEnd(bytes, available, at);
        };
        const uint32_t digits = blanksFrom(0);
        uint32_t at = digits;
        uint64_t number = 0;
        for (; at < available && bytes[at] >= '0' && bytes[at] <= '9' && number <= 0xFFFFFFFFull;
             ++at)
            number = number * 10 + static_cast<uint32_t>(bytes[at] - '0');
        const uint32_t method = blanksFrom(at);
        const uint32_t length =
            kvSipTokenSeparatorClass.spanOutside(bytes + method, available - method);
        if (at > digits && number <= 0xFFFFFFFFull && length) {
            stream.skip(method);
            stream.mark(1);
            stream.skip(length);
            m_number = static_cast<uint32_t>(number);
            m_method.setText(bytes + method, length);
            return;
        }
    }
    // Anything else, errors included, the general way.
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
