#include "KvSipNumberHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

void KvSipNumberHeader::doParse(KvInputStream& stream) {
    // The tokenizer refuses a number past 32 bits instead of wrapping it.
    m_value = KvStreamTokenizer::readUnsignedNumber(stream);
}

void KvSipNumberHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_value);
}
