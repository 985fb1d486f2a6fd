#include "KvThread.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvOutputStream.h"
#include "KvPlatformSync.h"
#include "KvProcess.h"
#include "KvTokenTable.h"

#include <exception>
#include <thread>

namespace {

std::atomic<bool> s_processEnding{false};

// Only a thread enters itself in the registry, so its own entry is also its thread-local one.
thread_local KvThread* t_currentThread = nullptr;

// Thread id -> thread object of every started thread; made once and never deleted.
KvTokenTable* registry() {
    static KvTokenTable* const table = [] {
        auto* created = new KvTokenTable();
        created->addReference();
        return created;
    }();
    return table;
}

const char* stateName(int32_t state) {
    switch (state) {
    case KvThread::DETACHED:
        return "DETACHED";
    case KvThread::INITIALIZING:
        return "INITIALIZING";
    case KvThread::RUNNING:
        return "RUNNING";
    case KvThread::BLOCKED:
        return "BLOCKED";
    case KvThread::EXITING:
        return "EXITING";
    default:
        return "UNKNOWN STATE";
    }
}

} // namespace

KvThread::KvThread()
    : m_threadId(0), m_state(DETACHED), m_wakeupEvent(new KvPlatformEvent), m_leaving(0),
      m_stopping(0) {
    KvProcess::instance();
}

KvThread::KvThread(ProcessTag)
    : m_threadId(kvCurrentThreadId()), m_state(INITIALIZING), m_wakeupEvent(new KvPlatformEvent),
      m_leaving(0), m_stopping(0) {
    registry();
}

KvThread::~KvThread() {
    // The last other holder let go just after the thread's own release: let it finish publishing.
    while (m_leaving.load(std::memory_order_acquire) != 0)
        std::this_thread::yield();
    delete m_wakeupEvent;
}

void KvThread::print(KvOutputStream& stream) const {
    KvObject::print(stream);
    stream << '\t' << getThreadId() << '\t' << stateName(getState()) << endl;
}

bool KvThread::block() {
    KvException::sThrow("Not yet implemented");
}

KvThread::StopScope::StopScope(KvThread& thread) : m_thread(thread) {
    // Before the state changes: the thread that sees EXITING sees this count too.
    m_thread.m_stopping.fetch_add(1, std::memory_order_acq_rel);
}

KvThread::StopScope::~StopScope() {
    m_thread.m_stopping.fetch_sub(1, std::memory_order_release);
}

void KvThread::stop() {
    StopScope scope(*this);
    int32_t previous = m_state.exchange(EXITING, std::memory_order_acq_rel);
    if (previous != DETACHED && previous != INITIALIZING)
        wakeup();
}

void KvThread::wakeup() {
    m_wakeupEvent->set();
}

void KvThread::fork() {
    int32_t expected = DETACHED;
    if (!m_state.compare_exchange_strong(expected, INITIALIZING, std::memory_order_acq_rel))
        KV_ASSERT_FAILED("KvThread::fork() on already running thread");
    addReference(); // the new thread's own, dropped when its entry routine ends
    if (!kvStartThread(sStartRoutine, this)) {
        uint32_t code = kvGetLastError();
        removeReference(false); // the caller still owns the object, as before the fork
        KvSystemError::sThrow("CreateThread", code);
    }
}

void KvThread::waitForWakeup(uint32_t timeoutMs) {
    int32_t state = getState();
    do {
        if (state == EXITING)
            return;
    } while (!m_state.compare_exchange_weak(state, BLOCKED, std::memory_order_acq_rel));
    m_wakeupEvent->wait(timeoutMs);
    changeState(BLOCKED, RUNNING);
}

void KvThread::setState(int32_t state) {
    int32_t current = getState();
    do {
        if (current == EXITING && state != DETACHED)
            return;
    } while (!m_state.compare_exchange_weak(current, state, std::memory_order_acq_rel));
}

bool KvThread::changeState(int32_t from, int32_t to) {
    return m_state.compare_exchange_strong(from, to, std::memory_order_acq_rel);
}

KvThread* KvThread::currentThread() {
    if (KvThread* current = t_currentThread)
        return current;
    if (!KvProcess::peekInstance())
        return KvProcess::instance();
    return nullptr;
}

bool KvThread::isProcessEnding() {
    return s_processEnding.load(std::memory_order_acquire);
}

void KvThread::sLogCaught(const char* site, const char* text) {
    try {
        KvErrorLine("KvException", 0).stream()
            << "catch exception in " << site << "(): " << (text ? text : "") << endl;
    } catch (...) {
        // The log's own failure must not end the thread that only meant to report one.
    }
}

void KvThread::sStartRoutine(void* self) {
    auto* thread = static_cast<KvThread*>(self);
    const bool isProcess = thread == KvProcess::peekInstance();
    thread->entry();
    if (isProcess) {
        thread->m_state.store(DETACHED, std::memory_order_release);
        thread->removeReference(true);
        return;
    }
    const bool wakeProcess = isProcessEnding();
    // A stop that ended the body may still be at work on the object.
    while (thread->m_stopping.load(std::memory_order_acquire) != 0)
        std::this_thread::yield();
    thread->leave(); // the object may be gone from here on
    if (wakeProcess)
        KvProcess::instance()->wakeup();
}

void KvThread::leave() {
    m_leaving.fetch_add(1, std::memory_order_acq_rel);
    if (removeReference(false) == 0) {
        // Nobody else holds it: nobody can see the state either.
        m_leaving.fetch_sub(1, std::memory_order_relaxed);
        delete this;
        return;
    }
    m_state.store(DETACHED, std::memory_order_release);
    m_leaving.fetch_sub(1, std::memory_order_release);
}

int32_t KvThread::entry() {
    // Recorded here, before anything runs, so that the registry is keyed by the real id.
    const uint32_t id = kvCurrentThreadId();
    m_threadId.store(id, std::memory_order_release);
    const bool isProcess = this == KvProcess::peekInstance();
    if (!isProcess) {
        t_currentThread = this;
        registry()->put(id, KvHandle<KvObject>(this));
    }

    int32_t result = 0;
    if (changeState(INITIALIZING, RUNNING)) {
        if (!sRunCaught("KvThread::block", [this] { run(); }))
            result = -1;
    }
    sRunCaught("KvThread::block", [this] { atEnd(); });

    if (!isProcess) {
        t_currentThread = nullptr;
        registry()->remove(id);
    }
    return result;
}
