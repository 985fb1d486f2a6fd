// The base of every stack class: an intrusive reference count and a few virtual services, and the
// typed counting handle through which objects travel.
#pragma once

#include "KvObjectPool.h"

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

class KvOutputStream;

class KvObject {
public:
    KvObject() : m_refCount(0) {}
    // A copy is a new object: it starts with no holders of its own.
    KvObject(const KvObject&) : m_refCount(0) {}
    KvObject& operator=(const KvObject&) { return *this; }

    virtual ~KvObject();

    // Counted objects come from the per-thread size classes of KvObjectPool.
    static void* operator new(size_t size) { return KvObjectPool::allocate(size); }
    static void operator delete(void* block, size_t size) noexcept {
        KvObjectPool::release(block, size);
    }
    // Classes that place themselves in a block of their own size.
    static void* operator new(size_t, void* place) noexcept { return place; }
    static void operator delete(void*, void*) noexcept {}

    virtual KvObject* clone() const;
    virtual int32_t compareWith(const KvObject* other) const;
    virtual uint32_t hash() const;
    virtual void print(KvOutputStream& stream) const;
    virtual int32_t addReference();
    virtual int32_t removeReference(bool deleteAtZero);

    int32_t compareTo(const KvObject* other) const { return compareWith(other); }
    // The bare, demangled class name of the dynamic type.
    const char* getClassName() const;
    bool isSameClass(const KvObject* other) const;
    int32_t getRefCount() const;
    // For an object that lives until the process ends and that every thread shares (the stack's
    // static tokens): its count stops moving, so taking and dropping it costs no locked bus cycle,
    // and it is never deleted.
    void setPermanent();

protected:
    int32_t m_refCount;
};

KvOutputStream& operator<<(KvOutputStream& stream, const KvObject* object);

class KvHandleBase {
public:
    KvHandleBase() noexcept : m_object(nullptr) {}
    KvHandleBase(KvObject* object) : m_object(object) {
        if (object)
            object->addReference();
    }
    KvHandleBase(const KvHandleBase& other) : KvHandleBase(other.m_object) {}
    KvHandleBase(KvHandleBase&& other) noexcept : m_object(other.m_object) {
        other.m_object = nullptr;
    }
    ~KvHandleBase() { release(); }

    KvHandleBase& operator=(const KvHandleBase& other) {
        assign(other.m_object);
        return *this;
    }
    KvHandleBase& operator=(KvHandleBase&& other) noexcept {
        if (this != &other) {
            KvObject* old = m_object;
            m_object = other.m_object;
            other.m_object = nullptr;
            if (old)
                old->removeReference(true);
        }
        return *this;
    }

    void release() {
        KvObject* old = m_object;
        m_object = nullptr;
        if (old)
            old->removeReference(true);
    }
    void assign(KvObject* object) {
        if (object == m_object)
            return;
        KvObject* old = m_object;
        m_object = object;
        if (object)
            object->addReference();
        if (old)
            old->removeReference(true);
    }
    void constructFromCast(KvObject* source, KvObject* castResult);
    void assignFromCast(KvObject* source, KvObject* castResult);

    // Drops the pointer without touching the count: only for an object that is being destroyed.
    void abandon() { m_object = nullptr; }

    bool isNull() const { return m_object == nullptr; }
    KvObject* get() const { return m_object; }
    KvObject* operator->() const { return m_object; }

protected:
    // Handle equality: null equals null, null differs from an object, else compareWith decides.
    static bool sEquals(const KvObject* left, const KvObject* right);

    KvObject* m_object;
};

template <class T> class KvHandle : public KvHandleBase {
public:
    KvHandle() noexcept = default;
    KvHandle(T* object) : KvHandleBase(object) {}
    KvHandle(const KvHandle& other) = default;
    KvHandle(KvHandle&& other) noexcept = default;
    ~KvHandle() = default;

    // Conversion from a handle of another class; upcasts need no check, others are checked.
    template <class U> KvHandle(const KvHandle<U>& other) {
        if constexpr (std::is_base_of_v<T, U>) {
            assign(static_cast<T*>(other.get()));
        } else {
            KvObject* source = other.get();
            constructFromCast(source, source ? dynamic_cast<T*>(source) : nullptr);
        }
    }
    template <class U> KvHandle& operator=(const KvHandle<U>& other) {
        if constexpr (std::is_base_of_v<T, U>) {
            assign(static_cast<T*>(other.get()));
        } else {
            KvObject* source = other.get();
            assignFromCast(source, source ? dynamic_cast<T*>(source) : nullptr);
        }
        return *this;
    }

    KvHandle& operator=(const KvHandle& other) = default;
    KvHandle& operator=(KvHandle&& other) noexcept = default;
    KvHandle& operator=(T* object) {
        assign(object);
        return *this;
    }

    T* get() const { return static_cast<T*>(m_object); }
    T* operator->() const { return static_cast<T*>(m_object); }
    T& operator*() const { return *static_cast<T*>(m_object); }

    bool operator==(const KvHandle& other) const { return sEquals(m_object, other.m_object); }
    bool operator!=(const KvHandle& other) const { return !sEquals(m_object, other.m_object); }

    // For a part made on its first use while other threads may read the handle: the object (null
    // when not made yet), and the install of a new object, which keeps the first when two threads
    // race and releases the other. Every access to such a handle goes through these two.
    T* getShared() const {
        return static_cast<T*>(std::atomic_ref<KvObject*>(const_cast<KvObject*&>(m_object))
                                   .load(std::memory_order_acquire));
    }
    T* installShared(T* made) {
        made->addReference();
        KvObject* expected = nullptr;
        if (std::atomic_ref<KvObject*>(m_object).compare_exchange_strong(
                expected, made, std::memory_order_acq_rel, std::memory_order_acquire))
            return made;
        made->removeReference(true);
        return static_cast<T*>(expected);
    }
};
