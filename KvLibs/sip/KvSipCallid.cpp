#include "KvSipCallid.h"

#include "KvInetAddress.h"
#include "KvSipParseError.h"
#include "KvUuid.h"

#include <cstring>
#include <mutex>

namespace {
struct HostCache {
    std::mutex mutex;
    KvString host; // set at most once
};

// Made on first use and never destroyed, so it works from any static initialiser or exit path.
HostCache& hostCache() {
    static HostCache* cache = new HostCache;
    return *cache;
}

// The local host's name, looked up once. The lock is held over the look-up so that threads that
// generate their first Call-ID together look it up once; a look-up that throws leaves the cache
// empty for the next caller to try again.
KvString cachedHost() {
    HostCache& cache = hostCache();
    std::lock_guard<std::mutex> guard(cache.mutex);
    if (cache.host.isNull()) {
        KvString name = KvInetAddress::getLocalHost().getHostName();
        // A name that came back empty still counts as looked up.
        cache.host = name.isNull() ? KvString(KvStringBuffer::create("", 0, 1)) : name;
    }
    return cache.host;
}
} // namespace

KvSipCallid::KvSipCallid(const char* host) {
    generate(host);
}

KvSipCallid::KvSipCallid(const KvSipCallid& other) : KvObject(other), m_value(other.m_value) {}

KvSipCallid::~KvSipCallid() = default;

KvObject* KvSipCallid::clone() const {
    return new KvSipCallid(*this);
}

void KvSipCallid::generate(const char* host) {
    KvSipParseError::refuseLineEnd(host, *this);
    KvString localHost;
    if (!host) {
        localHost = cachedHost();
        host = localHost.c_str();
    }
    size_t hostLength = std::strlen(host);
    uint32_t capacity = static_cast<uint32_t>(kUuidTextSize + 1 + hostLength);
    KvStringBuffer* buffer = KvStringBuffer::create(nullptr, 0, capacity < 128 ? 128 : capacity);
    generateUuid(KvStringBuffer::lockBuffer(buffer, static_cast<uint32_t>(kUuidTextSize)),
                 kUuidTextSize);
    KvStringBuffer::releaseBuffer(buffer, static_cast<int32_t>(kUuidTextSize - 1));
    m_value = buffer;
    m_value += "@";
    m_value += host;
}
