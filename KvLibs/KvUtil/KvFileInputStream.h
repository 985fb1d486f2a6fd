// An input stream over a file descriptor. Every descriptor is entered in a process-wide registry
// so that the process can close its open files when it ends.
#pragma once

#include "KvInputStream.h"

#include <atomic>
#include <cstdint>

class KvFileInputStream : public KvInputStream {
public:
    // Wraps an open descriptor without taking it over.
    explicit KvFileInputStream(int fd);
    // Opens the file read-only.
    explicit KvFileInputStream(const char* fileName);
    ~KvFileInputStream() override;

    using KvInputStream::read;
    int read() override;
    int32_t read(void* buffer, int32_t length, int32_t offset) override;
    int64_t skip(int64_t count) override;
    int32_t available() override { return 0; }
    bool markSupported() override { return m_seekable; }
    void mark(int32_t readLimit) override;
    void reset() override;
    bool block() override;

    // -1 after closeAll, when the number may name another file.
    int getDescriptor() const { return descriptor(); }

    // Closes every registered descriptor; the streams' destructors then leave them alone, and
    // their later calls fail. Meant for the process's end: it does not wait for a read that another
    // thread has under way, which may then read a file opened meanwhile under the same number.
    static void closeAll();

private:
    void enterInRegistry();
    // After closeAll the number may name another file, whether or not this stream opened it: -1,
    // which every call refuses.
    int descriptor() const {
        return m_closings == s_closings.load(std::memory_order_acquire) ? m_fd : -1;
    }

    int32_t m_fd;
    int64_t m_markPosition;
    bool m_markSet;
    bool m_seekable;
    bool m_ownsFd;
    uint32_t m_closings = 0; // how many closeAll calls came before the stream was entered

    static std::atomic<uint32_t> s_closings;
};
