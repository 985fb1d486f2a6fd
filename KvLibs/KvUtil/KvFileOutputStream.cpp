#include "KvFileOutputStream.h"

#include "KvException.h"
#include "KvPlatformFile.h"

#include <cerrno>

KvFileOutputStream::KvFileOutputStream(int fd) : m_fd(fd), m_ownsFd(false) {}

KvFileOutputStream::KvFileOutputStream(const char* fileName) : m_fd(-1), m_ownsFd(false) {
    KV_ASSERT(fileName != nullptr, "filename expected");
    m_fd = kvFileOpenReadWrite(fileName);
    if (m_fd < 0)
        KvSystemError::sThrow(fileName);
    m_ownsFd = true;
}

KvFileOutputStream::~KvFileOutputStream() {
    if (m_ownsFd && m_fd >= 0)
        kvFileClose(m_fd);
}

void KvFileOutputStream::open(const char* fileName) {
    KV_ASSERT(fileName != nullptr, "filename expected");
    int fd = kvFileOpenTruncate(fileName);
    if (fd < 0)
        KvSystemError::sThrow(fileName);
    if (m_ownsFd && m_fd >= 0)
        kvFileClose(m_fd);
    m_fd = fd;
    m_ownsFd = true;
}

void KvFileOutputStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    uint32_t taken = 0;
    writeCounted(buffer, length, offset, taken);
}

void KvFileOutputStream::writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                                      uint32_t& taken) {
    taken = 0;
    if (!buffer)
        return;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer) + offset;
    while (taken < length) {
        int64_t written = kvFileWrite(m_fd, bytes + taken, length - taken);
        if (written <= 0) {
            // A write that moves nothing would otherwise spin here for ever.
            KvSystemError::sThrow("KvFileOutputStream::write", written < 0 ? 0 : ENOSPC);
        }
        taken += static_cast<uint32_t>(written);
    }
}

void KvFileOutputStream::write(uint8_t byte) {
    write(&byte, 1, 0);
}
