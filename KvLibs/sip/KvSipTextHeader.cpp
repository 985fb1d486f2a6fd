#include "KvSipTextHeader.h"

#include "KvOutputStream.h"

void KvSipTextHeader::serialize(KvOutputStream& stream) const {
    stream << m_text;
}

KvString KvSipTextHeader::sSharedText(const KvString* texts, size_t count, std::string_view text) {
    if (const KvString* shared = sFindShared(texts, count, text))
        return *shared;
    const auto length = static_cast<uint32_t>(text.size());
    return KvString(length ? KvStringBuffer::create(text.data(), length, length + 1) : nullptr);
}

bool KvSipTextHeader::sMakePermanent(const KvString* texts, size_t count) {
    for (size_t i = 0; i < count; ++i)
        texts[i]->setPermanent();
    return true;
}
