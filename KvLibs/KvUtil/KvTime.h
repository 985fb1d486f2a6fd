// A point in time: microseconds since 1601-01-01 00:00 UTC. Timer ids are due times of this kind.
#pragma once

#include <compare>
#include <cstdint>

class KvTime {
public:
    KvTime() : m_time(0) {}
    explicit KvTime(uint64_t microseconds) : m_time(microseconds) {}

    // The current time. It follows the steady clock from the wall-clock time read at the first
    // call, so due times do not jump when the system clock is set.
    static KvTime now();

    uint64_t get() const { return m_time; }
    int64_t operator-(const KvTime& other) const {
        return static_cast<int64_t>(m_time - other.m_time);
    }
    KvTime operator+(uint64_t microseconds) const { return KvTime(m_time + microseconds); }
    auto operator<=>(const KvTime&) const = default;

private:
    uint64_t m_time;
};
