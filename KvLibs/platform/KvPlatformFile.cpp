#include "KvPlatformFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int openRetrying(const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

int kvFileOpenReadWrite(const char* name) {
    return openRetrying(name, O_RDWR | O_CREAT, S_IRUSR | S_IWUSR);
}

int kvFileOpenTruncate(const char* name) {
    return openRetrying(name, O_WRONLY | O_TRUNC);
}

int kvFileOpenRead(const char* name) {
    return openRetrying(name, O_RDONLY);
}

int64_t kvFileRead(int fd, void* buffer, uint32_t length) {
    ssize_t count;
    do {
        count = ::read(fd, buffer, length);
    } while (count < 0 && errno == EINTR);
    return count;
}

int64_t kvFileWrite(int fd, const void* buffer, uint32_t length) {
    ssize_t count;
    do {
        count = ::write(fd, buffer, length);
    } while (count < 0 && errno == EINTR);
    return count;
}

// A close interrupted by a signal has already released the descriptor on Linux: never retry it,
// the number may belong to another file by then.
int kvFileClose(int fd) {
    return ::close(fd);
}

int64_t kvFileSeekFromCurrent(int fd, int64_t distance) {
    return ::lseek(fd, static_cast<off_t>(distance), SEEK_CUR);
}

int64_t kvFileSeekFromStart(int fd, int64_t position) {
    return ::lseek(fd, static_cast<off_t>(position), SEEK_SET);
}

int kvFileUnlink(const char* name) {
    return ::unlink(name);
}

int kvFileRename(const char* from, const char* to) {
    return std::rename(from, to);
}
