#include "KvByteArray.h"

#include "KvException.h"
#include "KvOutputStream.h"

#include <cstring>
#include <new>

KvByteArray* KvByteArray::sAllocate(uint32_t size) {
    void* block = KvObjectPool::allocate(sizeof(KvByteArray) + (size ? size : 1));
    return new (block) KvByteArray(size);
}

KvHandle<KvByteArray> KvByteArray::sCreate(uint32_t size, const void* initialBytes) {
    KvByteArray* array = sAllocate(size);
    if (initialBytes)
        std::memcpy(array->getData(), initialBytes, size);
    else
        std::memset(array->getData(), 0, size);
    return KvHandle<KvByteArray>(array);
}

KvHandle<KvByteArray> KvByteArray::sFromString(const char* text) {
    if (!text)
        return KvHandle<KvByteArray>();
    return sCreate(static_cast<uint32_t>(std::strlen(text)), text);
}

KvHandle<KvByteArray> KvByteArray::sCopy(const KvHandle<KvByteArray>& array, uint32_t length,
                                         uint32_t offset) {
    uint32_t available = (!array.isNull() && offset < array->size()) ? array->size() - offset : 0;
    if (length == 0)
        length = available;
    KvHandle<KvByteArray> copy = sCreate(length);
    uint32_t n = length < available ? length : available;
    if (n)
        std::memcpy(copy->getData(), array->getData() + offset, n);
    return copy;
}

KvObject* KvByteArray::clone() const {
    KvByteArray* copy = sAllocate(m_size);
    std::memcpy(copy->getData(), getData(), m_size);
    return copy;
}

int32_t KvByteArray::compareWith(const KvObject* other) const {
    if (other == this)
        return 0;
    KvException::sThrow("KvByteArray::compareWith");
}

uint32_t KvByteArray::hash() const {
    uint32_t h = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(getData());
    for (uint32_t i = 0; i < m_size; ++i)
        h = (h * 2) ^ bytes[i];
    return h;
}

void KvByteArray::print(KvOutputStream& stream) const {
    stream.write(getData(), m_size, 0);
}

char* KvByteArray::at(uint32_t index) {
    if (index >= m_size)
        KvException::sThrow("index out of bounds");
    return getData() + index;
}

const char* KvByteArray::at(uint32_t index) const {
    if (index >= m_size)
        KvException::sThrow("index out of bounds");
    return getData() + index;
}

void KvByteArray::copyIn(uint32_t at, const void* bytes, uint32_t length, uint32_t offset) {
    if (!bytes || at >= m_size)
        return;
    if (length > m_size - at)
        length = m_size - at;
    // The bytes may lie in this array: a range moved within it comes out as through a temporary.
    std::memmove(getData() + at, static_cast<const char*>(bytes) + offset, length);
}

void KvByteArray::copyFrom(uint32_t at, const KvHandle<KvByteArray>& other, uint32_t length,
                           uint32_t offset) {
    if (other.isNull() || offset >= other->size())
        return;
    uint32_t available = other->size() - offset;
    if (length > available)
        length = available;
    copyIn(at, other->getData(), length, offset);
}
