#include "KvUuid.h"

#include "KvException.h"
#include "KvMD5.h"
#include "KvPlatformTime.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace {

// 1582-10-15 (the Gregorian reform, where UUID time starts) to 1601-01-01, in 100 ns.
constexpr uint64_t kUuidEpochOffset = 5748192000000000ULL;
// Ids given out within one clock value. The clock is read in steps of this many 100 ns
// intervals, so that a timestamp plus its tick count never reaches into the next clock value.
constexpr uint32_t kTicksPerClock = 1024;

// Shared by every thread that makes UUIDs, and always changed under its lock.
struct SharedState {
    std::mutex mutex;
    bool initialised = false;
    uint64_t lastSystemTimestamp = 0;
    uint32_t ticks = 0;
    bool seeded = false;
    uint32_t randomState = 0;
    uint32_t generators = 0; // threads that made a node so far
};

SharedState& shared() {
    static SharedState* const state = new SharedState;
    return *state;
}

struct ThreadState {
    uint64_t lastTimestamp = 0;
    uint8_t node[6] = {};
    uint16_t clockSequence = 0;
};

thread_local ThreadState tThread;

uint64_t systemTimestamp() {
    return (kvFileTimeNow() + kUuidEpochOffset) & ~static_cast<uint64_t>(kTicksPerClock - 1);
}

// A fresh timestamp; up to kTicksPerClock ids per clock value, after which the caller waits for
// the clock to move. Caller holds the shared lock.
uint64_t uuidTimestamp(SharedState& state) {
    if (!state.initialised) {
        systemTimestamp();
        state.ticks = kTicksPerClock;
        state.initialised = true;
    }
    uint64_t now;
    for (;;) {
        now = systemTimestamp();
        if (now != state.lastSystemTimestamp) {
            state.ticks = 0;
            break;
        }
        if (state.ticks + 1 < kTicksPerClock) {
            ++state.ticks;
            break;
        }
    }
    state.lastSystemTimestamp = now;
    return now + state.ticks;
}

// The C runtime's linear congruential generator, seeded once per process from the clock.
// Caller holds the shared lock.
uint16_t uuidClockSequence(SharedState& state) {
    if (!state.seeded) {
        uint64_t clock = systemTimestamp() / kTicksPerClock;
        state.randomState = static_cast<uint32_t>(clock >> 32) ^ static_cast<uint32_t>(clock);
        state.seeded = true;
    }
    state.randomState = state.randomState * 214013u + 2531011u;
    return static_cast<uint16_t>((state.randomState >> 16) & 0x7fff);
}

// MD5 of a record of machine state: memory and system figures, clocks and the host name, laid
// out as 112 bytes. Every byte is set; the four alignment bytes carry the generator's serial
// number so that threads that hash the same moment still get different nodes.
void uuidNode(uint8_t node[6], uint32_t serial) {
    uint8_t record[112] = {};
    KvMemoryStatus memory;
    kvGetMemoryStatus(&memory);
    std::memcpy(record, &memory, 32);
    KvSystemInfo system;
    kvGetSystemInfo(&system);
    std::memcpy(record + 32, &system, 36);
    uint64_t fileTime = kvFileTimeNow();
    std::memcpy(record + 68, &fileTime, 8);
    std::memcpy(record + 76, &serial, 4);
    uint64_t counter = kvPerformanceCounter();
    std::memcpy(record + 80, &counter, 8);
    uint32_t tickCount = kvTickCount();
    std::memcpy(record + 88, &tickCount, 4);
    char name[16] = {};
    int32_t nameLength = kvGetHostName(name, sizeof name);
    if (nameLength < 0)
        nameLength = 0;
    std::memcpy(record + 92, &nameLength, 4);
    std::memcpy(record + 96, name, 16);

    KvMD5 md5;
    md5.update(record, sizeof record);
    uint8_t digest[KvMD5::kDigestSize];
    md5.final(digest);
    std::memcpy(node, digest, 6);
    node[0] |= 0x80; // marks a node that is no network address
}

void writeHex(char*& out, uint64_t value, int digits) {
    static const char hex[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i)
        *out++ = hex[(value >> (4 * i)) & 0xf];
}

} // namespace

void generateUuid(char* buffer) {
    generateUuid(buffer, kUuidTextSize);
}

void generateUuid(char* buffer, size_t size) {
    KV_ASSERT(buffer != nullptr && size >= kUuidTextSize, "generateUuid: buffer too small");
    ThreadState& thread = tThread;
    SharedState& state = shared();
    uint64_t now;
    uint32_t newGenerator = 0;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        if (thread.lastTimestamp == 0) {
            thread.lastTimestamp = uuidTimestamp(state);
            newGenerator = ++state.generators;
            thread.clockSequence = uuidClockSequence(state);
        }
        now = uuidTimestamp(state);
    }
    if (newGenerator != 0)
        uuidNode(thread.node, newGenerator); // system calls: kept out of the lock
    if (now < thread.lastTimestamp)
        ++thread.clockSequence; // the clock went back: keep the ids apart (wraps at 65536)

    char* out = buffer;
    writeHex(out, now & 0xffffffff, 8);
    *out++ = '-';
    writeHex(out, (now >> 32) & 0xffff, 4);
    *out++ = '-';
    writeHex(out, ((now >> 48) & 0x0fff) | 0x1000, 4);
    *out++ = '-';
    writeHex(out, ((thread.clockSequence & 0x3f00) >> 8) | 0x80, 2);
    writeHex(out, thread.clockSequence & 0xff, 2);
    *out++ = '-';
    for (uint8_t byte : thread.node)
        writeHex(out, byte, 2);
    *out = '\0';
    thread.lastTimestamp = now;
}
