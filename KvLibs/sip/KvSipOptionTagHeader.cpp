#include "KvSipOptionTagHeader.h"

#include "KvInputStream.h"

void KvSipOptionTagHeader::doParse(KvInputStream& stream) {
    m_text = KvString(KvStringBuffer::readToken(nullptr, stream, ", \t\r\n"));
}
