// The process-wide diagnostic stream. Callers ask it for a stream for a level (and a category) and
// write to what they get: the error stream itself, which passes the text to the attached sink, or
// the null stream when the level or category is off. A sink that fails loses the text: logging
// never changes what the code that logs does.
#pragma once

#include "KvKeyTable.h"
#include "KvOutputSink.h"
#include "KvOutputStream.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class KvMutex;

class KvErrorStream : public KvOutputStream {
public:
    // The sink may be null: text then goes to the standard error output. What the sink throws is
    // dropped with the text. The sink is entered by one thread at a time, under no lock of the
    // stream's: a write returns once its text is in the sink or waits for the thread that is in
    // the sink, which writes it before it leaves (16 MiB may wait; more is lost whole). What a
    // thread writes while it is in a sink, this one's or another's, is dropped.
    explicit KvErrorStream(KvHandle<KvOutputStream> sink = KvHandle<KvOutputStream>());
    ~KvErrorStream() override;

    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override;
    void write(uint8_t byte) override;
    void flush() override;
    // Writes the text without its terminating NUL.
    virtual void writeText(const char* text);

    // The installed error stream, created without a sink on first use.
    static KvHandle<KvErrorStream> instance();
    // Installs a new process-wide error stream and returns the previous one.
    static KvHandle<KvErrorStream> setInstance(KvHandle<KvErrorStream> stream);

    bool isLevelEnabled(uint32_t level) const { return level < m_threshold; }
    uint32_t getLevel() const { return m_threshold; }
    // The level every error stream starts with and keeps: hot paths test it before they take the
    // instance, which costs a process-wide lock.
    static constexpr uint32_t sDefaultLevel() { return kDefaultLevel; }

    // Held around a trace of several parts, which then reaches the sink as one write at the last
    // unlock: nothing another thread writes comes between its parts.
    void lock();
    void unlock();

    KvOutputStream& getStream(uint32_t level);
    KvOutputStream& getStream(const char* category, uint32_t level);

    void addCategory(const char* name);
    void removeCategory(const char* name);

    // The application's log set-up: keeps the previous run's log under previousLogName, starts
    // an empty log file, makes it the process-wide output stream, attaches an error stream to it
    // and enters the stack's categories.
    static void sSetUpLog(const char* logName = "./Sip.log",
                          const char* previousLogName = "./SipPrv.log");

    // Writes the line for a fault that ends the process next, and waits, a second at most, until
    // it has reached the sink: a thread that is in the sink for others would end with it.
    static void sReportFatal(const char* text);

private:
    static constexpr uint32_t kDefaultLevel = 3;

    // One unit for the sink, a write (or a whole trace) and a flush after it when asked: where
    // its bytes end.
    struct Piece {
        uint32_t end;
        bool flush;
    };
    // Units that wait for the sink, each kept apart.
    struct Text {
        std::string text;
        std::vector<Piece> pieces;
        // False when it would pass the bound of bytes kept, or memory ran out: then lost whole.
        bool add(const uint8_t* bytes, uint32_t length, bool flush, size_t bound);
        void clear();
    };

    // Passes the bytes (or a flush) to the sink, or keeps them for the thread that is writing or
    // for the trace's unlock.
    void toSink(const uint8_t* bytes, uint32_t length, bool flush);
    // The writer's loop: what others queued, until the queue is empty.
    void writeQueued();
    void passWritten();
    void pass(const uint8_t* bytes, uint32_t length, bool flush);
    bool holdsTrace() const;

    uint32_t m_threshold;
    KvHandle<KvKeyTable> m_categories;
    KvHandle<KvOutputStream> m_sink;
    KvMutex* m_mutex;
    // The thread that holds m_mutex for a trace, and how often: set by that thread, compared by
    // any with itself.
    std::atomic<std::thread::id> m_traceOwner{};
    uint32_t m_traceDepth = 0;
    // The trace holder's, under m_mutex: its text, and whether a flush or a failure came in it.
    std::string m_trace;
    bool m_traceFlush = false;
    bool m_traceLost = false;
    std::mutex m_queueLock;
    bool m_writing = false; // a thread is in the sink or about to be; under m_queueLock
    Text m_queued;          // under m_queueLock
    Text m_written;         // the writer's alone
};

// One line (or trace) of the library's own, written under the installed error stream's trace lock
// so that it reaches the sink whole while other threads log. Off, when the stream drops the level
// or category, it takes no lock and its stream is the null stream.
class KvErrorLine {
public:
    explicit KvErrorLine(uint32_t level) : KvErrorLine(nullptr, level) {}
    KvErrorLine(const char* category, uint32_t level);
    ~KvErrorLine();
    KvErrorLine(const KvErrorLine&) = delete;
    KvErrorLine& operator=(const KvErrorLine&) = delete;

    bool isOn() const { return !m_log.isNull(); }
    KvOutputStream& stream() const { return *m_stream; }

private:
    KvHandle<KvErrorStream> m_log; // held, and its trace lock, while the line is written
    KvOutputStream* m_stream;
};
