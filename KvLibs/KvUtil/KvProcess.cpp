#include "KvProcess.h"

#include "KvException.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<KvProcess*> s_process{nullptr};
std::mutex s_creationMutex;
} // namespace

KvProcess::KvProcess() : KvThread(ProcessTag{}) {
    KvProcess* expected = nullptr;
    if (!s_process.compare_exchange_strong(expected, this, std::memory_order_acq_rel))
        KV_ASSERT_FAILED("There can only be one KvProcess object");
    addReference(); // never deleted, whoever takes and drops handles to it
}

KvProcess::~KvProcess() = default;

void KvProcess::run() {
    waitForWakeup(KV_INFINITE);
}

KvProcess* KvProcess::instance() {
    if (KvProcess* process = s_process.load(std::memory_order_acquire))
        return process;
    std::lock_guard<std::mutex> lock(s_creationMutex);
    if (KvProcess* process = s_process.load(std::memory_order_acquire))
        return process;
    return new KvProcess();
}

KvProcess* KvProcess::peekInstance() {
    return s_process.load(std::memory_order_acquire);
}
