// The argument an observer receives from a timer that was scheduled without one: its timer id.
#pragma once

#include "KvObject.h"

#include <cstdint>

class KvTimer : public KvObject {
public:
    explicit KvTimer(uint64_t id)
        : m_idLow(static_cast<uint32_t>(id)), m_idHigh(static_cast<uint32_t>(id >> 32)) {}
    ~KvTimer() override;

    uint64_t getId() const { return (static_cast<uint64_t>(m_idHigh) << 32) | m_idLow; }

private:
    uint32_t m_idLow;
    uint32_t m_idHigh;
};
