#include "KvSipGatheringStream.h"

void KvSipGatheringStream::writeBeyond(const char* bytes, uint32_t length) {
    drain();
    if (length > sizeof(m_bytes)) {
        if (m_holding)
            m_waiting.append(bytes, length);
        else
            m_target.write(bytes, length, 0);
        return;
    }
    copy(m_bytes, bytes, length);
    m_count = length;
}
