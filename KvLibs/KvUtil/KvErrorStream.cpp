#include "KvErrorStream.h"

#include "KvFileOutputStream.h"
#include "KvMutex.h"
#include "KvPlatformFile.h"

#include <cstring>
#include <iostream>
#include <mutex>
#include <utility>

// Many threads log through one error stream at once, into a sink that may be made for one thread
// (a byte-array stream, a caller's class) and may do anything, even log or wait for a thread that
// logs. So the sink is entered by one thread at a time, and never under a lock of the stream's.
// - m_mutex is the callers': lock() and unlock() hold it around a trace of several parts, so that
//   two such traces never interleave. The stream never takes it on its own.
// - m_queueLock guards the queue (text and flushes that wait for the sink) and m_writing, which
//   says that a thread is passing text to the sink. It is held only to queue, take or check;
//   nothing else runs under it.
// - A thread that finds nobody writing sets m_writing and becomes the writer: it passes its own
//   text to the sink, then what others queued meanwhile, a write at a time, until it finds the
//   queue empty; it clears m_writing in the hold of m_queueLock that found it so, so that nothing
//   queued is ever left without a writer. A thread that finds a writer queues its text and goes
//   on: the writer writes it before it leaves.
// - A thread that holds the trace lock never writes: it queues, and its last unlock() writes what
//   waits when nobody is writing. So nobody is in the sink under m_mutex either.
// - What the sink writes to the stream from within its own write is dropped: it would feed itself.
// When nobody is writing, the queue holds only the text of the thread that holds the trace lock,
// so a thread's texts reach the sink in the order it wrote them. A write that fails (a full disk)
// loses its own text alone.

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

// Text that waits for the sink at most, and the room a writer keeps after a burst.
constexpr size_t kMaxQueued = 16u << 20;
constexpr size_t kKeptRoom = 64u << 10;

// The stream whose sink this thread is in.
thread_local const KvErrorStream* tInSink = nullptr;

} // namespace

KvErrorStream::KvErrorStream(KvHandle<KvOutputStream> sink)
    : m_threshold(kDefaultLevel), m_categories(new KvKeyTable), m_sink(std::move(sink)),
      m_mutex(new KvMutex) {}

KvErrorStream::~KvErrorStream() {
    KvMutex::destroy(m_mutex);
}

void KvErrorStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    if (!m_sink.isNull()) {
        if (buffer)
            toSink(static_cast<const uint8_t*>(buffer) + offset, length, false);
    } else if (buffer) {
        std::cerr.write(static_cast<const char*>(buffer) + offset, length);
    }
}

void KvErrorStream::write(uint8_t byte) {
    if (!m_sink.isNull())
        toSink(&byte, 1, false);
    else
        std::cerr.put(static_cast<char>(byte));
}

void KvErrorStream::flush() {
    if (!m_sink.isNull())
        toSink(nullptr, 0, true);
    else
        std::cerr.flush();
}

bool KvErrorStream::holdsTrace() const {
    return m_traceOwner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void KvErrorStream::toSink(const uint8_t* bytes, uint32_t length, bool flush) {
    if (tInSink == this)
        return;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_writing || holdsTrace()) {
            // Past the bound (a sink that has stopped taking text) or out of memory, the text is
            // lost as on a full disk, and the queue stays whole.
            if (length > kMaxQueued - m_queued.size())
                return;
            try {
                if (length)
                    m_queued.append(reinterpret_cast<const char*>(bytes), length);
                m_pieces.push_back({static_cast<uint32_t>(m_queued.size()), flush});
            } catch (...) {
                m_queued.resize(m_pieces.empty() ? 0 : m_pieces.back().end);
            }
            return;
        }
        m_writing = true;
    }
    pass(bytes, length, flush);
    writeQueued();
}

void KvErrorStream::writeQueued() {
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_queueLock);
            if (m_pieces.empty()) {
                m_writing = false;
                return;
            }
            m_writtenText.swap(m_queued);
            m_writtenPieces.swap(m_pieces);
        }
        uint32_t start = 0;
        for (const Piece& piece : m_writtenPieces) {
            pass(reinterpret_cast<const uint8_t*>(m_writtenText.data()) + start, piece.end - start,
                 piece.flush);
            start = piece.end;
        }
        m_writtenText.clear();
        m_writtenPieces.clear();
        // A burst's room is not kept for good.
        if (m_writtenText.capacity() > kKeptRoom) {
            m_writtenText.shrink_to_fit();
            m_writtenPieces.shrink_to_fit();
        }
    }
}

void KvErrorStream::pass(const uint8_t* bytes, uint32_t length, bool flush) {
    // A log line is written while its caller handles something else: when the sink fails, the
    // line is lost and the caller goes on as if it had been written.
    const KvErrorStream* outer = std::exchange(tInSink, this);
    try {
        if (flush)
            m_sink->flush();
        else
            m_sink->write(bytes, length, 0);
    } catch (...) {
    }
    tInSink = outer;
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
    if (m_traceDepth++ == 0)
        m_traceOwner.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void KvErrorStream::unlock() {
    const bool last = --m_traceDepth == 0;
    if (last)
        m_traceOwner.store(std::thread::id(), std::memory_order_relaxed);
    m_mutex->unlock();
    if (!last || m_sink.isNull())
        return;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_writing || m_pieces.empty())
            return;
        m_writing = true;
    }
    writeQueued();
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
