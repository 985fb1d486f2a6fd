#include "KvBufferedOutputStream.h"

#include "KvException.h"
#include "KvFileOutputStream.h"

#include <cstring>
#include <mutex>

KvBufferedOutputStream::KvBufferedOutputStream(KvHandle<KvOutputStream> out, uint32_t size)
    : m_count(0), m_out(std::move(out)) {
    KV_ASSERT(!m_out.isNull(), "No target in KvBufferedOutputStream");
    if (size > 0)
        m_buffer = KvByteArray::sCreate(size);
    KV_ASSERT(!m_buffer.isNull(), "No buffer in KvBufferedOutputStream");
}

KvBufferedOutputStream::~KvBufferedOutputStream() {
    try {
        flush();
    } catch (KvHandle<KvException>&) {
        // A destructor cannot report the target's failure; the bytes are lost with it.
    }
}

void KvBufferedOutputStream::write(uint8_t byte) {
    if (m_count >= m_buffer->size())
        flush();
    m_buffer->getData()[m_count++] = static_cast<char>(byte);
}

void KvBufferedOutputStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    uint32_t taken = 0;
    writeCounted(buffer, length, offset, taken);
}

void KvBufferedOutputStream::writeCounted(const void* buffer, uint32_t length, uint32_t offset,
                                          uint32_t& taken) {
    taken = 0;
    if (!buffer)
        return;
    uint32_t size = m_buffer->size();
    if (size - m_count < length)
        flush();
    if (size - m_count < length) {
        // What the target kept of a run too large to hold: a stream over this one that fails
        // keeps only the rest.
        m_out->writeCounted(buffer, length, offset, taken);
        return;
    }
    std::memcpy(m_buffer->getData() + m_count, static_cast<const uint8_t*>(buffer) + offset,
                length);
    m_count += length;
    taken = length;
}

void KvBufferedOutputStream::flush() {
    if (m_count == 0)
        return;
    uint32_t taken = 0;
    try {
        m_out->writeCounted(m_buffer->getData(), m_count, 0, taken);
    } catch (...) {
        // Keep only what the target has not taken, so that a retry writes each byte once.
        if (taken > 0 && taken <= m_count) {
            std::memmove(m_buffer->getData(), m_buffer->getData() + taken, m_count - taken);
            m_count -= taken;
        }
        throw;
    }
    m_count = 0;
}

namespace {

// The process-wide output stream. The holder is never destroyed; the stream it holds is flushed
// when the process exits so that buffered standard output is not lost.
struct GlobalOutput {
    std::mutex mutex;
    KvHandle<KvOutputStream> stream;
};

GlobalOutput& globalOutput();

struct FlushAtExit {
    ~FlushAtExit() {
        KvHandle<KvOutputStream> stream;
        {
            std::lock_guard<std::mutex> guard(globalOutput().mutex);
            stream = globalOutput().stream;
        }
        try {
            if (!stream.isNull())
                stream->flush();
        } catch (KvHandle<KvException>&) {
        }
    }
};

GlobalOutput& globalOutput() {
    static GlobalOutput* const instance = new GlobalOutput;
    static FlushAtExit flushAtExit;
    return *instance;
}

} // namespace

KvHandle<KvOutputStream> KvOutputStream::getGlobalStream() {
    GlobalOutput& global = globalOutput();
    std::lock_guard<std::mutex> guard(global.mutex);
    if (global.stream.isNull()) {
        KvHandle<KvOutputStream> standardOutput(new KvFileOutputStream(1));
        global.stream = new KvBufferedOutputStream(standardOutput, 512);
    }
    return global.stream;
}

KvHandle<KvOutputStream> KvOutputStream::setGlobalStream(KvHandle<KvOutputStream> stream) {
    KvHandle<KvOutputStream> previous;
    {
        std::lock_guard<std::mutex> guard(globalOutput().mutex);
        previous = globalOutput().stream;
        globalOutput().stream = std::move(stream);
    }
    return previous;
}
