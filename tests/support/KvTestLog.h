// Catching what the stack writes to its error stream, for tests that check its log lines.
#pragma once

#include "KvErrorStream.h"
#include "KvOutputStream.h"

#include <initializer_list>
#include <mutex>
#include <string>

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

// Routes the given categories of the error stream into a sink for the scope.
class KvCapturedLog {
public:
    explicit KvCapturedLog(std::initializer_list<const char*> categories = {"KvException"})
        : m_sink(new KvCapturingSink) {
        KvHandle<KvErrorStream> stream(new KvErrorStream(KvHandle<KvOutputStream>(m_sink.get())));
        for (const char* category : categories)
            stream->addCategory(category);
        m_previous = KvErrorStream::setInstance(stream);
    }
    ~KvCapturedLog() { KvErrorStream::setInstance(m_previous); }
    KvCapturedLog(const KvCapturedLog&) = delete;
    KvCapturedLog& operator=(const KvCapturedLog&) = delete;

    std::string text() { return m_sink->text(); }
    bool contains(const std::string& part) { return text().find(part) != std::string::npos; }

private:
    KvHandle<KvCapturingSink> m_sink;
    KvHandle<KvErrorStream> m_previous;
};
