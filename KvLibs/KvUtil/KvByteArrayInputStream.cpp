#include "KvByteArrayInputStream.h"

#include <cstring>

KvByteArrayInputStream::KvByteArrayInputStream(const KvHandle<KvByteArray>& array, uint32_t offset,
                                               uint32_t length)
    : m_array(array), m_bytes(array.isNull() ? nullptr : array->getData()), m_position(0), m_end(0),
      m_mark(0) {
    uint32_t size = array.isNull() ? 0 : array->size();
    m_position = offset < size ? offset : size;
    m_end = (length == 0 || length > size - m_position) ? size : m_position + length;
    // Before any mark, reset goes back to the window's start.
    m_mark = m_position;
}

int32_t KvByteArrayInputStream::read(void* buffer, int32_t length, int32_t offset) {
    // The end is reported as such even to a read that asks for nothing.
    if (m_position >= m_end)
        return -1;
    if (length <= 0)
        return 0;
    uint32_t n = m_end - m_position;
    if (static_cast<uint32_t>(length) < n)
        n = static_cast<uint32_t>(length);
    std::memcpy(static_cast<char*>(buffer) + offset, m_bytes + m_position, n);
    m_position += n;
    return static_cast<int32_t>(n);
}

int64_t KvByteArrayInputStream::skip(int64_t count) {
    if (count <= 0 || m_position >= m_end)
        return 0;
    uint32_t n = m_end - m_position;
    if (static_cast<uint64_t>(count) < n)
        n = static_cast<uint32_t>(count);
    m_position += n;
    return n;
}
