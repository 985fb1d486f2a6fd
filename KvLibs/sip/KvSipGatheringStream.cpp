#include "KvSipGatheringStream.h"

void KvSipGatheringStream::pass(const char* bytes, uint32_t length) {
    m_failed = true; // stays set when the write throws
    m_target.write(bytes, length, 0);
    m_failed = false;
}

void KvSipGatheringStream::drain() {
    if (m_failed) {
        m_waiting.clear();
        m_count = 0;
        return;
    }
    if (m_holding) {
        m_waiting.append(m_bytes, m_count);
        m_count = 0;
        return;
    }
    if (!m_waiting.empty()) {
        const std::string waiting = std::move(m_waiting);
        m_waiting.clear();
        pass(waiting.data(), static_cast<uint32_t>(waiting.size()));
    }
    if (m_count) {
        const uint32_t count = m_count;
        m_count = 0;
        pass(m_bytes, count);
    }
}

void KvSipGatheringStream::writeBeyond(const char* bytes, uint32_t length) {
    drain();
    if (length > sizeof(m_bytes)) {
        if (m_failed)
            return;
        if (m_holding)
            m_waiting.append(bytes, length);
        else
            pass(bytes, length);
        return;
    }
    copy(m_bytes, bytes, length);
    m_count = length;
}
