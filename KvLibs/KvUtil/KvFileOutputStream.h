// An output stream over a file descriptor.
#pragma once

#include "KvOutputStream.h"

#include <cstdint>

class KvFileOutputStream : public KvOutputStream {
public:
    // Wraps an open descriptor without taking it over.
    explicit KvFileOutputStream(int fd);
    // Opens the file for reading and writing, creating it when absent and keeping what it holds.
    explicit KvFileOutputStream(const char* fileName);
    ~KvFileOutputStream() override;

    // Switches to an existing file, truncated, and owns it from then on; the descriptor this
    // stream owned before is closed.
    void open(const char* fileName);

    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override;
    void write(uint8_t byte) override;
    void writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                      uint32_t& taken) override;

    int getDescriptor() const { return m_fd; }

private:
    int32_t m_fd;
    bool m_ownsFd;
};
