#include "KvSipMinSEHeader.h"

#include "KvInputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipMinSEHeader::KvSipMinSEHeader(uint32_t seconds) : KvSipHeaderClass(seconds) {}

void KvSipMinSEHeader::doParse(KvInputStream& stream) {
    int c = KvStreamTokenizer::skipWhitespace(stream);
    if (c < '0' || c > '9')
        KvSipParseError::raise("Invalid Minimum SE header");
    KvSipNumberHeader::doParse(stream);
}
