#include "KvSipSubjectHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

void KvSipSubjectHeader::doParse(KvInputStream& stream) {
    std::string_view text = KvStreamTokenizer::takeShownToken(stream, "\r\n");
    if (text.data()) {
        // Trimmed before the copy: one string made, none moved. The start is trimmed already.
        while (!text.empty() && KvStreamTokenizer::isWhitespace(static_cast<uint8_t>(text.back())))
            text.remove_suffix(1);
        const auto length = static_cast<uint32_t>(text.size());
        // A given length of 0 would make create() measure the text: an empty one is made apart.
        m_text = KvStringBuffer::create(length ? text.data() : nullptr, length, length + 1);
        return;
    }
    m_text = KvStringBuffer::readToken(nullptr, stream, "\r\n");
    m_text.trim();
}
