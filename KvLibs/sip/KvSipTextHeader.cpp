#include "KvSipTextHeader.h"

#include "KvOutputStream.h"

#include <cstring>

void KvSipTextHeader::serialize(KvOutputStream& stream) const {
    stream << m_text;
}

KvString KvSipTextHeader::sSharedText(const KvString* texts, size_t count, std::string_view text) {
    for (size_t i = 0; i < count; ++i) {
        if (texts[i].length() == text.size() &&
            std::memcmp(texts[i].data(), text.data(), text.size()) == 0)
            return texts[i];
    }
    const auto length = static_cast<uint32_t>(text.size());
    return KvString(length ? KvStringBuffer::create(text.data(), length, length + 1) : nullptr);
}

bool KvSipTextHeader::sMakePermanent(const KvString* texts, size_t count) {
    for (size_t i = 0; i < count; ++i)
        texts[i]->setPermanent();
    return true;
}
