#include "KvFileInputStream.h"

#include "KvException.h"
#include "KvLibraryLock.h"
#include "KvPlatformFile.h"

#include <atomic>
#include <map>

namespace {

// The descriptors of all file input streams, each with the registration of the stream that owns
// it (0 for a descriptor that no stream owns), guarded by the library lock. A number that comes
// back after closeAll carries its new owner's registration, so the old stream leaves it alone;
// closeAll marks the old stream closed, so that it reads nothing from that number either.
// Never destroyed: streams may outlive static destruction.
struct Owner {
    uint64_t registration;
    std::atomic<bool>* closed; // the owning stream's mark, set by closeAll; null when not owned
};

std::map<int, Owner>& registry() {
    static std::map<int, Owner>* const descriptors = new std::map<int, Owner>;
    return *descriptors;
}

uint64_t s_lastRegistration = 0; // guarded by the library lock

} // namespace

KvFileInputStream::KvFileInputStream(int fd)
    : m_fd(fd), m_registration(0), m_markPosition(0), m_markSet(false), m_seekable(false),
      m_ownsFd(false) {
    enterInRegistry();
}

KvFileInputStream::KvFileInputStream(const char* fileName)
    : m_fd(-1), m_registration(0), m_markPosition(0), m_markSet(false), m_seekable(false),
      m_ownsFd(false) {
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
    try {
        if (!m_ownsFd) {
            registry().emplace(m_fd, Owner{0, nullptr}); // an owner's entry stays its owner's
            return;
        }
        m_registration = ++s_lastRegistration;
        registry()[m_fd] = Owner{m_registration, &m_closed};
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
    if (entry == registry().end() || entry->second.registration != m_registration)
        return;
    registry().erase(entry);
    kvFileClose(m_fd);
}

void KvFileInputStream::closeAll() {
    KvLibraryLockGuard guard;
    for (const auto& entry : registry()) {
        if (entry.second.closed)
            entry.second.closed->store(true, std::memory_order_release);
        kvFileClose(entry.first);
    }
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
