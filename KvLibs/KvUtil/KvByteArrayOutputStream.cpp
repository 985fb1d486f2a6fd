#include "KvByteArrayOutputStream.h"

#include "KvException.h"

#include <cstring>
#include <utility>

namespace {
constexpr uint64_t kGranule = 256;
// The largest array a 32-bit size can describe, in whole granules.
constexpr uint64_t kMaxSize = 0xFFFFFFFFull & ~(kGranule - 1);
} // namespace

KvByteArrayOutputStream::KvByteArrayOutputStream(uint32_t initialSize) : m_count(0) {
    if (initialSize != 0)
        m_buffer = KvByteArray::sCreate(initialSize);
}

KvByteArrayOutputStream::~KvByteArrayOutputStream() = default;

KvHandle<KvByteArray> KvByteArrayOutputStream::grow(uint32_t length) {
    uint64_t size = m_buffer.isNull() ? 0 : m_buffer->size();
    uint64_t growth = (length / kGranule + 1) * kGranule;
    // Growing by half the size as well keeps a long run of small writes from copying the bytes
    // over and over; the steps stay whole granules.
    uint64_t half = (size / 2 + kGranule - 1) / kGranule * kGranule;
    if (growth < half)
        growth = half;
    uint64_t newSize = size + growth;
    if (newSize > kMaxSize) {
        newSize = kMaxSize;
        if (newSize < uint64_t(m_count) + length)
            KvException::sThrow("KvByteArrayOutputStream::write - output too large");
    }
    KvHandle<KvByteArray> grown = KvByteArray::sCreate(static_cast<uint32_t>(newSize));
    if (m_count)
        std::memcpy(grown->getData(), m_buffer->getData(), m_count);
    std::swap(m_buffer, grown);
    return grown;
}

void KvByteArrayOutputStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    if (length == 0 || !buffer)
        return;
    // The buffer never leaves the stream (toByteArray copies), so no one else can see it change.
    const uint32_t room = m_buffer.isNull() ? 0 : m_buffer->size() - m_count;
    KvHandle<KvByteArray> replaced;
    if (room < length)
        replaced = grow(length);
    std::memcpy(m_buffer->getData() + m_count, static_cast<const char*>(buffer) + offset, length);
    m_count += length;
}

void KvByteArrayOutputStream::write(uint8_t byte) {
    write(&byte, 1, 0);
}

KvHandle<KvByteArray> KvByteArrayOutputStream::toByteArray() const {
    return KvByteArray::sCreate(m_count, m_count ? m_buffer->getData() : nullptr);
}

void KvByteArrayOutputStream::writeTo(KvOutputStream& stream) const {
    // Held here: the target may write into this stream (itself, or a buffer over it flushing),
    // which replaces the buffer that the bytes are taken from.
    if (KvHandle<KvByteArray> bytes = m_buffer; m_count != 0)
        stream.write(bytes->getData(), m_count, 0);
}
