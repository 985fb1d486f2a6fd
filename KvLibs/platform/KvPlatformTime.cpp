#include "KvPlatformTime.h"

#include <cstring>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace {

// 1601-01-01 to 1970-01-01 in 100-nanosecond intervals.
constexpr uint64_t kFileTimeEpochOffset = 116444736000000000ULL;

} // namespace

int64_t kvTimeNow() {
    return static_cast<int64_t>(std::time(nullptr));
}

bool kvTimeToUtc(int64_t seconds, std::tm* fields) {
    std::time_t t = static_cast<std::time_t>(seconds);
    return gmtime_r(&t, fields) != nullptr;
}

bool kvTimeToLocal(int64_t seconds, std::tm* fields) {
    std::time_t t = static_cast<std::time_t>(seconds);
    return localtime_r(&t, fields) != nullptr;
}

int64_t kvTimeFromUtc(std::tm* fields) {
    return static_cast<int64_t>(timegm(fields));
}

uint64_t kvFileTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_sec) * 10000000ULL +
           static_cast<uint64_t>(now.tv_nsec) / 100 + kFileTimeEpochOffset;
}

uint64_t kvPerformanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

uint32_t kvTickCount() {
    return static_cast<uint32_t>(kvPerformanceCounter() / 1000000ULL);
}

void kvGetMemoryStatus(KvMemoryStatus* status) {
    std::memset(status, 0, sizeof *status);
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return;
    status->totalRam = static_cast<uint64_t>(info.totalram) * info.mem_unit;
    status->freeRam = static_cast<uint64_t>(info.freeram) * info.mem_unit;
    status->totalSwap = static_cast<uint64_t>(info.totalswap) * info.mem_unit;
    status->freeSwap = static_cast<uint64_t>(info.freeswap) * info.mem_unit;
}

void kvGetSystemInfo(KvSystemInfo* result) {
    std::memset(result, 0, sizeof *result);
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    long pageSize = sysconf(_SC_PAGESIZE);
    result->processorCount = processors > 0 ? static_cast<uint32_t>(processors) : 0;
    result->pageSize = pageSize > 0 ? static_cast<uint32_t>(pageSize) : 0;
    result->processId = static_cast<uint32_t>(getpid());
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return;
    result->uptime = static_cast<uint32_t>(info.uptime);
    result->processCount = info.procs;
    for (int i = 0; i < 3; ++i)
        result->loads[i] = static_cast<uint32_t>(info.loads[i]);
    result->bufferRam = static_cast<uint32_t>(info.bufferram);
}

int32_t kvGetHostName(char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0)
        return -1;
    if (gethostname(buffer, size) != 0) {
        buffer[0] = '\0';
        return -1;
    }
    // POSIX leaves the text unterminated when it was cut.
    buffer[size - 1] = '\0';
    return static_cast<int32_t>(std::strlen(buffer));
}
