#include "KvErrorStream.h"

#include "KvFileOutputStream.h"
#include "KvMutex.h"
#include "KvPlatformFile.h"

#include <cstring>
#include <iostream>
#include <mutex>

// Many threads log through one error stream at once. Two locks, each with one job:
// - m_mutex is the callers': lock() and unlock() hold it around a trace of several parts, so that
//   two such traces never interleave. The stream never takes it on its own.
// - m_sinkLock guards the sink: every write and flush reaches the sink under it, so that a sink
//   made for one thread (a byte-array stream, a caller's class) is never entered by two. It is held
//   across that one call only; lines written piece by piece may interleave between pieces.
// Order: m_mutex, when a caller holds it, before m_sinkLock, never the other way. The sink's own
// write is the one piece of a caller's code that runs under a lock here, as it is what the lock
// guards; the lock is recursive, so a sink that logs from its write re-enters on its own thread. A
// sink must not wait for another thread that logs.

namespace {

// The installed instance. Neither the holder nor its lock is ever destroyed: code that runs during
// static initialisation or process exit may still log.
struct InstanceHolder {
    std::mutex mutex;
    KvHandle<KvErrorStream> stream;
};

InstanceHolder& holder() {
    static InstanceHolder* const instance = new InstanceHolder;
    return *instance;
}

// A log line is written while its caller handles something else: when the sink fails (a full
// disk), the line is lost and the caller goes on as if it had been written.
template <class Write> void toSink(std::recursive_mutex& sinkLock, Write&& write) {
    try {
        std::lock_guard<std::recursive_mutex> guard(sinkLock);
        write();
    } catch (...) {
    }
}

} // namespace

KvErrorStream::KvErrorStream(KvHandle<KvOutputStream> sink)
    : m_threshold(kDefaultLevel), m_categories(new KvKeyTable), m_sink(std::move(sink)),
      m_mutex(new KvMutex) {}

KvErrorStream::~KvErrorStream() {
    KvMutex::destroy(m_mutex);
}

void KvErrorStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    if (!m_sink.isNull()) {
        toSink(m_sinkLock, [&] { m_sink->write(buffer, length, offset); });
    } else if (buffer) {
        std::cerr.write(static_cast<const char*>(buffer) + offset, length);
    }
}

void KvErrorStream::write(uint8_t byte) {
    if (!m_sink.isNull())
        toSink(m_sinkLock, [&] { m_sink->write(byte); });
    else
        std::cerr.put(static_cast<char>(byte));
}

void KvErrorStream::flush() {
    if (!m_sink.isNull())
        toSink(m_sinkLock, [&] { m_sink->flush(); });
    else
        std::cerr.flush();
}

void KvErrorStream::writeText(const char* text) {
    if (text)
        write(text, static_cast<uint32_t>(std::strlen(text)), 0);
}

KvHandle<KvErrorStream> KvErrorStream::instance() {
    InstanceHolder& h = holder();
    std::lock_guard<std::mutex> guard(h.mutex);
    if (h.stream.isNull())
        h.stream = new KvErrorStream;
    return h.stream;
}

KvHandle<KvErrorStream> KvErrorStream::setInstance(KvHandle<KvErrorStream> stream) {
    InstanceHolder& h = holder();
    KvHandle<KvErrorStream> previous;
    {
        std::lock_guard<std::mutex> guard(h.mutex);
        previous = h.stream;
        h.stream = stream;
    }
    return previous;
}

void KvErrorStream::lock() {
    m_mutex->lock();
}

void KvErrorStream::unlock() {
    m_mutex->unlock();
}

KvOutputStream& KvErrorStream::getStream(uint32_t level) {
    if (!isLevelEnabled(level))
        return KvOutputSink::sNullStream();
    // Not the sink itself: what the caller writes passes through the error stream, which drops it
    // when the sink fails.
    return *this;
}

KvOutputStream& KvErrorStream::getStream(const char* category, uint32_t level) {
    if (!isLevelEnabled(level) || !category || !*category ||
        !m_categories->containsKey(KvString(category)))
        return KvOutputSink::sNullStream();
    return getStream(level);
}

void KvErrorStream::addCategory(const char* name) {
    m_categories->put(KvString(name), KvHandle<KvObject>());
}

void KvErrorStream::removeCategory(const char* name) {
    m_categories->remove(KvString(name));
}

void KvErrorStream::sSetUpLog(const char* logName, const char* previousLogName) {
    kvFileUnlink(previousLogName);
    kvFileRename(logName, previousLogName);
    KvHandle<KvFileOutputStream> file(new KvFileOutputStream(logName));
    // When the old log could not be moved aside, start it afresh instead of writing over its head.
    file->open(logName);
    KvOutputStream::setGlobalStream(file);
    KvHandle<KvErrorStream> stream(new KvErrorStream(file));
    setInstance(stream);
    stream->addCategory("KvException");
    stream->addCategory("KvSocket");
    stream->addCategory("KvThread");
    stream->addCategory("KvSipMlException");
}
