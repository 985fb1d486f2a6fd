#include "KvSipNumberHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

void KvSipNumberHeader::doParse(KvInputStream& stream) {
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // Blanks and digits straight from the bytes, the stream left and marked behind them as the
        // tokenizer leaves it: two calls to the stream rather than two per byte.
        uint32_t end = KvStreamTokenizer::whitespaceEnd(bytes, available);
        const uint32_t first = end;
        uint64_t value = 0;
        for (; end < available && bytes[end] >= '0' && bytes[end] <= '9' && value <= 0xFFFFFFFFull;
             ++end)
            value = value * 10 + static_cast<uint32_t>(bytes[end] - '0');
        if (end > first && value <= 0xFFFFFFFFull) {
            stream.skip(end);
            stream.mark(1);
            m_value = static_cast<uint32_t>(value);
            return;
        }
    }
    // The tokenizer refuses a number past 32 bits instead of wrapping it.
    m_value = KvStreamTokenizer::readUnsignedNumber(stream);
}

void KvSipNumberHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_value);
}
