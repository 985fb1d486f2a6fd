#include "KvObject.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvOutputStream.h"
#include "KvPlatformSync.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace {
void kvReportFatal(const char* text) {
    KvErrorStream::sReportFatal(text);
}
} // namespace

KvObject::~KvObject() {
    if (m_refCount != 0) {
        // Handles still point here: going on would leave them dangling, and a destructor must not
        // throw. Report the fault and stop.
        kvReportFatal("Destructing KvObject with live references");
        std::abort();
    }
}

KvObject* KvObject::clone() const {
    KV_ASSERT_FAILED("cloning is not supported");
    return nullptr;
}

int32_t KvObject::compareWith(const KvObject* other) const {
    auto self = reinterpret_cast<uintptr_t>(this);
    auto that = reinterpret_cast<uintptr_t>(other);
    return self < that ? -1 : (self > that ? 1 : 0);
}

uint32_t KvObject::hash() const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
}

void KvObject::print(KvOutputStream& stream) const {
    // The count may move on another thread while it is printed: read it as the counters write it.
    stream << getRefCount() << " \t(" << KvHex(reinterpret_cast<uintptr_t>(this)) << ")\t"
           << getClassName();
}

namespace {
// A permanent object's count; racing takes and releases around the marking move it by a few at
// most, never below the floor.
constexpr int32_t kPermanentCount = 0x60000000;
constexpr int32_t kPermanentFloor = 0x40000000;
} // namespace

// Every change is an interlocked one: a fresh object may be wrapped by two threads at once, each
// taking its first handle, and a plain store at count 0 would lose one of them.
int32_t KvObject::addReference() {
    const int32_t current = getRefCount();
    if (current >= kPermanentFloor)
        return current;
    return kvInterlockedIncrement(&m_refCount);
}

int32_t KvObject::removeReference(bool deleteAtZero) {
    const int32_t current = getRefCount();
    if (current >= kPermanentFloor)
        return current;
    const int32_t left = kvInterlockedDecrement(&m_refCount);
    if (left == 0 && deleteAtZero)
        delete this;
    return left;
}

const char* KvObject::getClassName() const {
    // Never destroyed: a thread that ends after main, or logs while the process exits, still
    // reads the names it was given.
    static std::mutex* const mutex = new std::mutex;
    static auto* const names = new std::unordered_map<std::type_index, std::string>;
    std::type_index type(typeid(*this));
    std::lock_guard<std::mutex> lock(*mutex);
    auto it = names->find(type);
    if (it == names->end()) {
        int status = 0;
        char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
        std::string name = (status == 0 && demangled) ? demangled : type.name();
        std::free(demangled);
        it = names->emplace(type, std::move(name)).first;
    }
    return it->second.c_str();
}

bool KvObject::isSameClass(const KvObject* other) const {
    return other && typeid(*this) == typeid(*other);
}

void KvObject::setPermanent() {
    std::atomic_ref<int32_t> count(m_refCount);
    if (count.load(std::memory_order_relaxed) >= kPermanentFloor)
        return;
    // Kept in a list that is never freed: the objects stay reachable, so that leak checkers see
    // them as kept on purpose, not lost, once their last handle has gone at the process end.
    static std::mutex* mutex = new std::mutex;
    static std::vector<const KvObject*>* kept = new std::vector<const KvObject*>;
    std::lock_guard<std::mutex> guard(*mutex);
    if (count.load(std::memory_order_relaxed) >= kPermanentFloor)
        return;
    kept->push_back(this);
    count.store(kPermanentCount, std::memory_order_relaxed);
}

int32_t KvObject::getRefCount() const {
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(m_refCount))
        .load(std::memory_order_relaxed);
}

KvOutputStream& operator<<(KvOutputStream& stream, const KvObject* object) {
    if (object)
        object->print(stream);
    else
        stream << "Nil KvObject";
    return stream;
}

void KvHandleBase::constructFromCast(KvObject* source, KvObject* castResult) {
    m_object = castResult;
    if (castResult)
        castResult->addReference();
    else if (source)
        KV_ASSERT_FAILED("dynamic_cast failed on KvHandle construnction");
}

void KvHandleBase::assignFromCast(KvObject* source, KvObject* castResult) {
    if (castResult == m_object)
        return;
    if (!castResult && source) {
        release(); // a failed conversion leaves the handle null, with nothing leaked
        KV_ASSERT_FAILED("dynamic_cast failed on KvHandle assignment");
    }
    assign(castResult);
}

bool KvHandleBase::sEquals(const KvObject* left, const KvObject* right) {
    if (!left || !right)
        return left == right;
    return left->compareWith(right) == 0;
}
