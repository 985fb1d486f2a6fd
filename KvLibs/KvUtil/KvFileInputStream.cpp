#include "KvFileInputStream.h"

#include "KvException.h"
#include "KvLibraryLock.h"
#include "KvPlatformFile.h"

#include <algorithm>
#include <atomic>
#include <map>

namespace {

// Every live file input stream under its descriptor, guarded by the library lock; several streams
// may share a number. A stream's destructor takes out its own entry, owning or not, so that
// closeAll closes only numbers that live streams hold. A stream entered before the last closeAll
// has lost its number, which may come back with a new owner: it leaves that alone and reads
// nothing through it. Never destroyed: streams may outlive static destruction.
using Registry = std::multimap<int, const KvFileInputStream*>;
Registry& registry() {
    static auto* const descriptors = new Registry;
    return *descriptors;
}

} // namespace

std::atomic<uint32_t> KvFileInputStream::s_closings{0};

KvFileInputStream::KvFileInputStream(int fd)
    : m_fd(fd), m_markPosition(0), m_markSet(false), m_seekable(false), m_ownsFd(false) {
    enterInRegistry();
}

KvFileInputStream::KvFileInputStream(const char* fileName)
    : m_fd(-1), m_markPosition(0), m_markSet(false), m_seekable(false), m_ownsFd(false) {
    KV_ASSERT(fileName != nullptr, "filename expected");
    m_fd = kvFileOpenRead(fileName);
    if (m_fd < 0)
        KvSystemError::sThrow(fileName);
    m_ownsFd = true;
    enterInRegistry();
}

void KvFileInputStream::enterInRegistry() {
    m_seekable = m_fd >= 0 && kvFileSeekFromCurrent(m_fd, 0) >= 0;
    KvLibraryLockGuard guard;
    m_closings = s_closings.load(std::memory_order_relaxed);
    try {
        // The system just handed the number out: whoever held it before closed it, and no stream
        // of the earlier file may close the new one.
        if (m_ownsFd)
            registry().erase(m_fd);
        registry().emplace(m_fd, this);
    } catch (...) {
        if (m_ownsFd)
            kvFileClose(m_fd);
        throw;
    }
}

KvFileInputStream::~KvFileInputStream() {
    KvLibraryLockGuard guard;
    // After closeAll the number is no longer ours and may already name another file.
    if (m_closings != s_closings.load(std::memory_order_relaxed))
        return;
    auto [first, last] = registry().equal_range(m_fd);
    auto own =
        std::find_if(first, last, [this](const auto& entry) { return entry.second == this; });
    if (own == last)
        return; // an owner whose number was closed behind its back and handed out again
    if (!m_ownsFd) {
        registry().erase(own);
        return;
    }
    // The streams that wrap the number go with the file: it no longer names anything of theirs.
    registry().erase(first, last);
    kvFileClose(m_fd);
}

void KvFileInputStream::closeAll() {
    KvLibraryLockGuard guard;
    s_closings.fetch_add(1, std::memory_order_release); // before the numbers can come back
    Registry& streams = registry();
    for (auto entry = streams.begin(); entry != streams.end();
         entry = streams.upper_bound(entry->first))
        kvFileClose(entry->first);
    streams.clear();
}

int KvFileInputStream::read() {
    uint8_t byte = 0;
    int64_t count = kvFileRead(descriptor(), &byte, 1);
    if (count < 0)
        KvSystemError::sThrow("KvFileInputStream::read");
    return count == 0 ? -1 : byte;
}

int32_t KvFileInputStream::read(void* buffer, int32_t length, int32_t offset) {
    if (!buffer || length <= 0 || offset < 0)
        return 0;
    int64_t count = kvFileRead(descriptor(), static_cast<uint8_t*>(buffer) + offset,
                               static_cast<uint32_t>(length));
    if (count < 0)
        KvSystemError::sThrow("KvFileInputStream::read");
    return count == 0 ? -1 : static_cast<int32_t>(count);
}

int64_t KvFileInputStream::skip(int64_t count) {
    if (!m_seekable)
        return KvInputStream::skip(count);
    if (count <= 0)
        return 0;
    int64_t from = kvFileSeekFromCurrent(descriptor(), 0);
    int64_t to = from < 0 ? -1 : kvFileSeekFromCurrent(descriptor(), count);
    if (to < 0)
        KvSystemError::sThrow("KvFileInputStream::skip");
    return to - from;
}

void KvFileInputStream::mark(int32_t) {
    if (!m_seekable)
        return;
    int64_t position = kvFileSeekFromCurrent(descriptor(), 0);
    if (position < 0)
        KvSystemError::sThrow("KvFileInputStream::mark");
    m_markPosition = position;
    m_markSet = true;
}

void KvFileInputStream::reset() {
    if (!m_seekable || !m_markSet)
        return;
    if (kvFileSeekFromStart(descriptor(), m_markPosition) < 0)
        KvSystemError::sThrow("KvFileInputStream::reset");
    m_markSet = false;
}

bool KvFileInputStream::block() {
    if (!m_seekable)
        KvException::sThrow("KvFileInputStream::block implementation pending");
    notifyObserver(KvHandle<KvObject>());
    return true;
}
