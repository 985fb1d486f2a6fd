#include "KvInputStream.h"

#include "KvBufferedInputStream.h"
#include "KvByteArray.h"
#include "KvFileInputStream.h"
#include "KvException.h"
#include "KvThread.h"
#include "KvOutputStream.h"

#include <mutex>

int32_t KvInputStream::read(void* buffer, int32_t length, int32_t offset) {
    uint8_t* bytes = static_cast<uint8_t*>(buffer) + offset;
    int32_t count = 0;
    try {
        while (count < length) {
            int c = read();
            if (c < 0)
                break;
            bytes[count++] = static_cast<uint8_t>(c);
        }
    } catch (KvHandle<KvException>& e) {
        KvThread::sLogCaught("KvInputStream::read", e->getText());
        if (count == 0)
            throw;
        return count;
    }
    if (count == 0 && length > 0)
        return -1;
    return count;
}

int64_t KvInputStream::skip(int64_t count) {
    uint8_t chunk[64];
    int64_t skipped = 0;
    while (skipped < count) {
        int32_t want = static_cast<int32_t>(count - skipped < 64 ? count - skipped : 64);
        int32_t got = read(chunk, want, 0);
        if (got <= 0)
            break;
        skipped += got;
    }
    return skipped;
}

void KvInputStream::mark(int32_t) {}

void KvInputStream::reset() {
    KV_ASSERT_FAILED("KvInputStream::reset()");
}

int32_t KvInputStream::read(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length) {
    if (array.isNull() || offset >= array->size())
        return 0;
    uint32_t rest = array->size() - offset;
    if (length == 0 || length > rest)
        length = rest;
    return read(array->getData(), static_cast<int32_t>(length), static_cast<int32_t>(offset));
}

namespace {
struct GlobalInput {
    std::mutex mutex;
    KvHandle<KvInputStream> stream;
};
GlobalInput& globalInput() {
    static GlobalInput global;
    return global;
}
} // namespace

KvHandle<KvInputStream> KvInputStream::getGlobalStream() {
    GlobalInput& global = globalInput();
    std::lock_guard<std::mutex> guard(global.mutex);
    if (global.stream.isNull()) {
        KvHandle<KvInputStream> standardInput(new KvFileInputStream(0));
        global.stream = new KvBufferedInputStream(standardInput);
    }
    return global.stream;
}

KvHandle<KvInputStream> KvInputStream::setGlobalStream(KvHandle<KvInputStream> stream) {
    GlobalInput& global = globalInput();
    std::lock_guard<std::mutex> guard(global.mutex);
    KvHandle<KvInputStream> previous = global.stream;
    global.stream = std::move(stream);
    return previous;
}
