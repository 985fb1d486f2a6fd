// A counted byte buffer: header and bytes in one allocation.
#pragma once

#include "KvObject.h"

#include <cstdint>
#include <new>

class KvByteArray : public KvObject {
public:
    // New bytes are zeroed unless initial bytes are given.
    static KvHandle<KvByteArray> sCreate(uint32_t size, const void* initialBytes = nullptr);
    static KvHandle<KvByteArray> sFromString(const char* text);
    static KvHandle<KvByteArray> sCopy(const KvHandle<KvByteArray>& array, uint32_t length,
                                       uint32_t offset);

    ~KvByteArray() override = default;
    KvObject* clone() const override;
    int32_t compareWith(const KvObject* other) const override;
    uint32_t hash() const override;
    void print(KvOutputStream& stream) const override;

    char* getData() { return reinterpret_cast<char*>(this + 1); }
    const char* getData() const { return reinterpret_cast<const char*>(this + 1); }
    uint32_t size() const { return m_size; }
    char* at(uint32_t index);
    const char* at(uint32_t index) const;
    void copyIn(uint32_t at, const void* bytes, uint32_t length, uint32_t offset);
    void copyFrom(uint32_t at, const KvHandle<KvByteArray>& other, uint32_t length,
                  uint32_t offset);

    // The block holds the header and the bytes; its whole size goes back with it.
    static void operator delete(KvByteArray* array, std::destroying_delete_t) {
        const size_t size = sizeof(KvByteArray) + (array->m_size ? array->m_size : 1);
        array->~KvByteArray();
        KvObjectPool::release(array, size);
    }

private:
    explicit KvByteArray(uint32_t size) : m_size(size) {}
    static KvByteArray* sAllocate(uint32_t size);

    uint32_t m_size;
};
