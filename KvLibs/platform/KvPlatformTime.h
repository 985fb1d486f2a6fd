// Clocks, calendar conversion and the machine state that seeds unique identifiers.
#pragma once

#include <cstdint>
#include <ctime>

// Seconds since 1970-01-01 UTC.
int64_t kvTimeNow();
// Breaks a time down as UTC or as local time; false when the time cannot be represented.
bool kvTimeToUtc(int64_t seconds, std::tm* fields);
bool kvTimeToLocal(int64_t seconds, std::tm* fields);
// The inverse of kvTimeToUtc: the fields read as UTC (out-of-range fields are carried over, and
// the weekday and day of year are recomputed); -1 when they cannot be represented.
int64_t kvTimeFromUtc(std::tm* fields);

// The wall clock as 100-nanosecond intervals since 1601-01-01 UTC.
uint64_t kvFileTimeNow();
// A monotonic high-resolution count (nanoseconds) and millisecond tick count.
uint64_t kvPerformanceCounter();
uint32_t kvTickCount();

// Memory and system figures, with sizes fixed so that records built from them hash the same way.
struct KvMemoryStatus {
    uint64_t totalRam;
    uint64_t freeRam;
    uint64_t totalSwap;
    uint64_t freeSwap;
};
struct KvSystemInfo {
    uint32_t processorCount;
    uint32_t pageSize;
    uint32_t processId;
    uint32_t uptime;
    uint32_t processCount;
    uint32_t loads[3];
    uint32_t bufferRam;
};
static_assert(sizeof(KvMemoryStatus) == 32 && sizeof(KvSystemInfo) == 36);

void kvGetMemoryStatus(KvMemoryStatus* status);
void kvGetSystemInfo(KvSystemInfo* info);
// The host name, NUL-terminated and cut to the buffer; returns its length, or -1 on failure.
int32_t kvGetHostName(char* buffer, uint32_t size);
