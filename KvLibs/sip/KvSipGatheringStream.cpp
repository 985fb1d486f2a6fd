#include "KvSipGatheringStream.h"

void KvSipGatheringStream::drain() {
    if (m_holding) {
        m_waiting.append(m_bytes, m_count);
        m_count = 0;
        return;
    }
    if (!m_waiting.empty()) {
        const std::string waiting = std::move(m_waiting);
        m_waiting.clear();
        m_target.write(waiting.data(), static_cast<uint32_t>(waiting.size()), 0);
    }
    if (m_count) {
        const uint32_t count = m_count;
        m_count = 0;
        m_target.write(m_bytes, count, 0);
    }
}

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
