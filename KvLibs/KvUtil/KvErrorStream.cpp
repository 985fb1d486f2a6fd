#include "KvErrorStream.h"

#include "KvFileOutputStream.h"
#include "KvMutex.h"
#include "KvPlatformFile.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <mutex>
#include <utility>

// Many threads log through one error stream at once, into a sink that may be made for one thread
// (a byte-array stream, a caller's class) and may do anything, even log or wait for a thread that
// logs. So the sink is entered by one thread at a time, and never under a lock of the stream's.
// - m_mutex is the trace lock: lock() and unlock() hold it around a trace of several parts (the
//   library's own lines are such traces, through KvErrorLine). The holder's writes collect in
//   m_trace, which only the holder touches; its last unlock() hands the trace on as one unit, one
//   write to the sink, so nothing another thread writes comes between its parts and a sink that
//   fails loses it whole. Plain writes never wait for the trace lock.
// - m_queueLock guards the queue (units that wait for the sink) and m_writing, which says that a
//   thread is passing text to the sink. It is held only to queue, take or check; nothing else
//   runs under it. Order: m_mutex before m_queueLock, never the other way.
// - A thread that finds nobody writing sets m_writing and becomes the writer: it passes its own
//   unit to the sink, then what others queued meanwhile, a unit at a time, until it finds the
//   queue empty; it clears m_writing in the hold of m_queueLock that found it so, so that nothing
//   queued is ever left without a writer. A thread that finds a writer queues its unit and goes
//   on: the writer writes it before it leaves. So a writer stays while others keep logging, and a
//   sink slower than the logging holds it up that long. The queue keeps 16 MiB at most; a unit
//   past that is lost whole, as on a full disk. The writer holds m_mutex never.
// - What a thread logs while it is in a sink, of this stream or another, is dropped: it would
//   feed a sink for good, the same one or one that logs back.
// When nobody is writing the queue is empty, so a thread's units reach the sink in the order it
// wrote them. What a caller's print writes into a library line runs under m_mutex, so the library
// makes such text beforehand.

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

// Set while this thread is in a sink of any error stream: what it logs then would feed a sink,
// the same or another that logs back, for good.
thread_local bool tInSink = false;

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

bool KvErrorStream::Text::add(const uint8_t* bytes, uint32_t length, bool flush, size_t bound) {
    // Past the bound (a sink that has stopped taking text) or out of memory, the unit is lost
    // whole, as on a full disk.
    if (length > bound - std::min(bound, text.size()))
        return false;
    try {
        if (length)
            text.append(reinterpret_cast<const char*>(bytes), length);
        pieces.push_back({static_cast<uint32_t>(text.size()), flush});
        return true;
    } catch (...) {
        text.resize(pieces.empty() ? 0 : pieces.back().end);
        return false;
    }
}

void KvErrorStream::Text::clear() {
    text.clear();
    pieces.clear();
    // A burst's room is not kept for good.
    if (text.capacity() > kKeptRoom) {
        text.shrink_to_fit();
        pieces.shrink_to_fit();
    }
}

void KvErrorStream::toSink(const uint8_t* bytes, uint32_t length, bool flush) {
    if (tInSink)
        return;
    if (holdsTrace()) {
        // Ours alone while we hold the trace lock; one unit for the sink at the unlock.
        try {
            if (length)
                m_trace.append(reinterpret_cast<const char*>(bytes), length);
        } catch (...) {
            m_traceLost = true;
        }
        m_traceFlush |= flush;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_writing) {
            m_queued.add(bytes, length, flush, kMaxQueued);
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
            if (m_queued.pieces.empty()) {
                m_writing = false;
                return;
            }
            std::swap(m_written, m_queued);
        }
        passWritten();
    }
}

void KvErrorStream::passWritten() {
    uint32_t start = 0;
    for (const Piece& piece : m_written.pieces) {
        pass(reinterpret_cast<const uint8_t*>(m_written.text.data()) + start, piece.end - start,
             piece.flush);
        start = piece.end;
    }
    m_written.clear();
}

void KvErrorStream::pass(const uint8_t* bytes, uint32_t length, bool flush) {
    // A log line is written while its caller handles something else: when the sink fails, the
    // line is lost and the caller goes on as if it had been written.
    tInSink = true;
    try {
        if (length)
            m_sink->write(bytes, length, 0);
    } catch (...) {
    }
    try {
        if (flush)
            m_sink->flush();
    } catch (...) {
    }
    tInSink = false;
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
    if (--m_traceDepth != 0) {
        m_mutex->unlock();
        return;
    }
    m_traceOwner.store(std::thread::id(), std::memory_order_relaxed);
    // The trace is one unit for the sink, queued or taken to write before the next holder can add
    // to it. A trace that lost a part to a lack of memory is lost whole.
    bool write = false;
    if (!m_traceLost && (!m_trace.empty() || m_traceFlush)) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(m_trace.data());
        const auto length = static_cast<uint32_t>(m_trace.size());
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_writing) {
            m_queued.add(bytes, length, m_traceFlush, kMaxQueued);
        } else {
            m_writing = true;
            write = true;
            m_written.add(bytes, length, m_traceFlush, SIZE_MAX);
        }
    }
    m_trace.clear();
    if (m_trace.capacity() > kKeptRoom)
        m_trace.shrink_to_fit();
    m_traceFlush = false;
    m_traceLost = false;
    m_mutex->unlock();
    if (write) {
        passWritten();
        writeQueued();
    }
}

void KvErrorStream::sReportFatal(const char* text) {
    KvHandle<KvErrorStream> log = instance();
    KvErrorLine(0).stream() << text << endl;
    if (tInSink)
        return; // dropped, as whatever a sink logs

    for (int waited = 0; waited < 1000; ++waited) {
        {
            std::lock_guard<std::mutex> guard(log->m_queueLock);
            if (!log->m_writing)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

KvErrorLine::KvErrorLine(const char* category, uint32_t level)
    : m_stream(&KvOutputSink::sNullStream()) {
    KvHandle<KvErrorStream> log = KvErrorStream::instance();
    KvOutputStream& stream = category ? log->getStream(category, level) : log->getStream(level);
    if (&stream == &KvOutputSink::sNullStream())
        return;
    log->lock();
    m_log = log;
    m_stream = &stream;
}

KvErrorLine::~KvErrorLine() {
    if (!m_log.isNull())
        m_log->unlock();
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
