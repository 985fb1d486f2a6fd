#include "KvFileInputStream.h"

#include "KvException.h"
#include "KvLibraryLock.h"
#include "KvPlatformFile.h"

#include <atomic>
#include <map>

namespace {

// The descriptors of all file input streams, each with the stream that owns it (null for a
// descriptor that no stream owns), guarded by the library lock. A stream entered before the last
// closeAll has lost its number, which may come back with a new owner: it leaves that alone and
// reads nothing through it. An entry names only a live stream: a stream's destructor erases its
// own. Never destroyed: streams may outlive static destruction.
std::map<int, const KvFileInputStream*>& registry() {
    static auto* const descriptors = new std::map<int, const KvFileInputStream*>;
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
        if (!m_ownsFd) {
            registry().emplace(m_fd, nullptr); // an owner's entry stays its owner's
            return;
        }
        registry()[m_fd] = this;
    } catch (...) {
        if (m_ownsFd)
            kvFileClose(m_fd);
        throw;
    }
}

KvFileInputStream::~KvFileInputStream() {
    if (!m_ownsFd)
        return;
    KvLibraryLockGuard guard;
    // After closeAll the number is no longer ours and may already name another file.
    auto entry = registry().find(m_fd);
    if (entry == registry().end() || entry->second != this ||
        m_closings != s_closings.load(std::memory_order_relaxed))
        return;
    registry().erase(entry);
    kvFileClose(m_fd);
}

void KvFileInputStream::closeAll() {
    KvLibraryLockGuard guard;
    s_closings.fetch_add(1, std::memory_order_release); // before the numbers can come back
    for (const auto& entry : registry())
        kvFileClose(entry.first);
    registry().clear();
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
