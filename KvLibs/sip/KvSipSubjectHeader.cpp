#include "KvSipSubjectHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

void KvSipSubjectHeader::doParse(KvInputStream& stream) {
    uint32_t length = KvStreamTokenizer::tokenLength(stream, "\r\n");
    uint32_t available = 0;
    if (const char* text = stream.peek(available)) {
        // Trimmed before the copy: one string made, none moved. The start is trimmed already.
        if (length)
            stream.skip(length);
        while (length && KvStreamTokenizer::isWhitespace(static_cast<uint8_t>(text[length - 1])))
            --length;
        // A given length of 0 would make create() measure the text: an empty one is made apart.
        m_text = KvStringBuffer::create(length ? text : nullptr, length, length + 1);
        return;
    }
    m_text = KvStringBuffer::readBytes(nullptr, stream, length);
    m_text.trim();
}
