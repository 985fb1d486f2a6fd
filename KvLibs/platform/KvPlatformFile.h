// Low-level file calls on POSIX descriptors. Each returns what the system call returns (-1 on
// failure, with the reason in the calling thread's last error) and retries calls cut short by a
// signal, so callers only ever see real failures.
#pragma once

#include <cstdint>

// Opens for reading and writing, creating the file (owner read/write) when absent; never truncates.
int kvFileOpenReadWrite(const char* name);
// Opens an existing file for writing only and truncates it.
int kvFileOpenTruncate(const char* name);
// Opens an existing file for reading only.
int kvFileOpenRead(const char* name);

int64_t kvFileRead(int fd, void* buffer, uint32_t length);
int64_t kvFileWrite(int fd, const void* buffer, uint32_t length);
int kvFileClose(int fd);

// Moves the file position; the result is the new position from the start of the file.
int64_t kvFileSeekFromCurrent(int fd, int64_t distance);
int64_t kvFileSeekFromStart(int fd, int64_t position);

int kvFileUnlink(const char* name);
int kvFileRename(const char* from, const char* to);
