// Catching what the stack writes to its error stream, for tests that check its log lines.
#pragma once

#include "KvErrorStream.h"
#include "KvFileOutputStream.h"
#include "KvOutputStream.h"

#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>

// Collects everything written to it; safe to write from several threads.
class KvCapturingSink : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (!buffer)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.append(static_cast<const char*>(buffer) + offset, length);
    }
    void write(uint8_t byte) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.push_back(static_cast<char>(byte));
    }
    std::string text() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

// Installs an error stream over the sink, with the given categories entered, for the scope.
class KvInstalledLog {
public:
    KvInstalledLog(KvHandle<KvOutputStream> sink, std::initializer_list<const char*> categories) {
        KvHandle<KvErrorStream> stream(new KvErrorStream(std::move(sink)));
        for (const char* category : categories)
            stream->addCategory(category);
        m_previous = KvErrorStream::setInstance(stream);
    }
    ~KvInstalledLog() { KvErrorStream::setInstance(m_previous); }
    KvInstalledLog(const KvInstalledLog&) = delete;
    KvInstalledLog& operator=(const KvInstalledLog&) = delete;

private:
    KvHandle<KvErrorStream> m_previous;
};

// Routes the given categories of the error stream into a sink for the scope.
class KvCapturedLog : public KvInstalledLog {
public:
    explicit KvCapturedLog(std::initializer_list<const char*> categories = {"KvException"})
        : KvCapturedLog(KvHandle<KvCapturingSink>(new KvCapturingSink), categories) {}

    std::string text() { return m_sink->text(); }
    bool contains(const std::string& part) { return text().find(part) != std::string::npos; }

private:
    KvCapturedLog(KvHandle<KvCapturingSink> sink, std::initializer_list<const char*> categories)
        : KvInstalledLog(KvHandle<KvOutputStream>(sink.get()), categories), m_sink(sink) {}

    KvHandle<KvCapturingSink> m_sink;
};

// For the scope, a log file on a full disk that the application's log set-up made: every
// category entered, every write failing.
class KvUnwritableLog : public KvInstalledLog {
public:
    KvUnwritableLog()
        : KvInstalledLog(KvHandle<KvOutputStream>(new KvFileOutputStream("/dev/full")),
                         {"KvException", "KvSocket", "KvThread", "KvSipMlException"}) {}
};
