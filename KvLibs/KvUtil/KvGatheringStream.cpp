#include "KvGatheringStream.h"

void KvGatheringStream::writeBeyond(const char* bytes, uint32_t length) {
    drain();
    if (length > sizeof(m_bytes)) {
        m_target.write(bytes, length, 0);
        return;
    }
    copy(m_bytes, bytes, length);
    m_count = length;
}
