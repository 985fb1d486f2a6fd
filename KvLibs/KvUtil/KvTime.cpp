#include "KvTime.h"

#include "KvPlatformThread.h"

KvTime KvTime::now() {
    struct Anchor {
        uint64_t wall;
        uint64_t steady;
    };
    static const Anchor anchor{kvSystemTimeMicroseconds(), kvSteadyMicroseconds()};
    return KvTime(anchor.wall + (kvSteadyMicroseconds() - anchor.steady));
}
