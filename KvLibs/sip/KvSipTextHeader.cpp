#include "KvSipTextHeader.h"

#include "KvOutputStream.h"

void KvSipTextHeader::serialize(KvOutputStream& stream) const {
    stream << m_text;
}
