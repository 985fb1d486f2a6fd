#include "KvSipHeader.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvMutex.h"
#include "KvOutputStream.h"
#include "KvSipGatheringStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "KvSipParseError.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <mutex>
#include <utility>
#include <vector>

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool isLineSpace(int c) {
    return c == ' ' || c == '\t';
}

bool isWhite(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Header names compare ignoring ASCII case; lookups take the text as it stands in the message.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const {
        // Folding with the 0x20 bit maps both cases of a letter alike (and a few other pairs,
        // which only share a slot): the comparison below decides. The length and the two bytes at
        // each end tell the registered names apart; only those are in the table, so names alike
        // there cost at most a walk over it.
        const size_t n = name.size();
        if (n == 0)
            return 0;
        auto fold = [&](size_t i) { return uint64_t{static_cast<unsigned char>(name[i]) | 0x20u}; };
        uint64_t key = (n & 0xFF) | fold(0) << 8 | fold(n - 1) << 16;
        if (n > 2)
            key |= fold(1) << 24 | fold(n - 2) << 32;
        // One multiply spreads the five bytes over the high half, which the slot index takes.
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32);
    }
};

// Whether the n bytes (at least 4) are alike, compared in overlapping words.
bool sameWords(const char* a, const char* b, size_t n) {
    if (n < 8) {
        uint32_t x[2];
        uint32_t y[2];
        std::memcpy(&x[0], a, 4);
        std::memcpy(&x[1], a + n - 4, 4);
        std::memcpy(&y[0], b, 4);
        std::memcpy(&y[1], b + n - 4, 4);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    for (size_t i = 0;; i += 8) {
        const size_t at = i + 8 < n ? i : n - 8;
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a + at, 8);
        std::memcpy(&y, b + at, 8);
        if (x != y)
            return false;
        if (at == n - 8)
            return true;
    }
}

struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        if (a.size() != b.size())
            return false;
        // Names mostly come written as registered: whole words compare first.
        if (a.size() >= 4 && sameWords(a.data(), b.data(), a.size()))
            return true;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i] && lowerAscii(a[i]) != lowerAscii(b[i]))
                return false;
        return true;
    }
};

// Reads one header line into line and unfolds it: blanks before the line are passed over, CR
// is dropped, and a line end followed by a blank or tab continues the line with one blank in place
// of the line end (RFC 3261 7.3.1). The bytes come in chunks under a mark; what lies behind the
// line is given back by reset and skip. The whole line is consumed even when it does not fit.
struct LineRead {
    const char* text = nullptr;  // the line buffer, or the stream's own bytes (see windowLine)
    const char* colon = nullptr; // set by windowLine, which also found no NUL
    uint32_t length = 0;         // CR LF appended
    bool fits = true;            // false: longer than the buffer, cut
    bool streamEnd = false;      // the stream ended before a line end
    bool nameFits = true;        // a colon follows at most 47 raw bytes after the first non-blank
};

// The name bound as the wire counts it: from the first byte that is no white space, the raw bytes
// before the first colon, line ends and blanks included, must be at most 47. A line without a
// colon borrows the next line's, so its own text and that next name count together.
bool nameFitsRaw(KvInputStream& stream) {
    char chunk[64];
    uint32_t count = 0;
    bool started = false;
    for (;;) {
        int32_t got = stream.read(chunk, sizeof(chunk), 0);
        if (got <= 0)
            return false;
        for (int32_t i = 0; i < got; ++i) {
            const unsigned char c = static_cast<unsigned char>(chunk[i]);
            if (!started) {
                if (isWhite(c))
                    continue;
                started = true;
            }
            if (c == ':')
                return true;
            if (++count >= KvSipHeader::NAME_BUFFER_SIZE)
                return false;
        }
    }
}

// The common line in memory: no blank before it, no fold, no bare CR, ends in CR LF, and name
// and line within their bounds. It is read where it lies; anything else takes the copying path.
bool windowLine(KvInputStream& stream, LineRead& result) {
    uint32_t windowLength = 0;
    const char* window = stream.peek(windowLength);
    if (!window || windowLength < 2 || isLineSpace(static_cast<unsigned char>(window[0])))
        return false;
    const char* lf = static_cast<const char*>(std::memchr(window, '\n', windowLength));
    if (!lf || lf == window || lf[-1] != '\r')
        return false;
    const uint32_t textLength = static_cast<uint32_t>(lf - 1 - window);
    const uint32_t consumed = textLength + 2;
    if (textLength > KvSipHeader::LINE_BUFFER_SIZE - 2 ||
        (consumed < windowLength && isLineSpace(static_cast<unsigned char>(window[consumed]))) ||
        std::memchr(window, '\r', textLength) || std::memchr(window, '\0', textLength))
        return false;
    const char* colon = static_cast<const char*>(std::memchr(window, ':', textLength));
    if (!colon || static_cast<uint32_t>(colon - window) >= KvSipHeader::NAME_BUFFER_SIZE)
        return false;
    stream.skip(consumed);
    result.text = window;
    result.colon = colon;
    result.length = consumed;
    return true;
}

LineRead readUnfoldedLine(KvInputStream& stream, char* line) {
    const uint32_t limit = KvSipHeader::LINE_BUFFER_SIZE - 2;
    char buffer[256];
    LineRead result;
    uint32_t n = 0;
    uint32_t firstLineEnd = UINT32_MAX; // where the first CR or LF was dropped
    int64_t consumed = 0;
    bool started = false;
    bool lineEnd = false;
    bool done = false;
    stream.mark(-1);
    // Bytes in memory are scanned where they lie, in one pass; other streams are read in chunks.
    uint32_t windowLength = 0;
    const char* window = stream.peek(windowLength);
    bool windowDone = false;
    while (!done) {
        const char* chunk = buffer;
        int32_t got;
        if (window) {
            chunk = window;
            got =
                windowDone ? 0 : static_cast<int32_t>(std::min<uint32_t>(windowLength, INT32_MAX));
            windowDone = true;
        } else {
            got = stream.read(buffer, sizeof(buffer), 0);
        }
        if (got <= 0) {
            result.streamEnd = !lineEnd;
            break;
        }
        for (int32_t i = 0; i < got; ++i) {
            char c = chunk[i];
            if (started && !lineEnd && c != '\r' && c != '\n') {
                // The bytes up to the next CR or LF go over in one copy.
                const char* run = chunk + i;
                const size_t rest = static_cast<size_t>(got - i);
                const char* lf = static_cast<const char*>(std::memchr(run, '\n', rest));
                size_t length = lf ? static_cast<size_t>(lf - run) : rest;
                if (const char* cr = static_cast<const char*>(std::memchr(run, '\r', length)))
                    length = static_cast<size_t>(cr - run);
                const size_t copied = std::min<size_t>(length, limit - n);
                std::memcpy(line + n, run, copied);
                n += static_cast<uint32_t>(copied);
                if (copied < length)
                    result.fits = false;
                consumed += static_cast<int64_t>(length);
                i += static_cast<int32_t>(length) - 1;
                continue;
            }
            if (!started) {
                if (isLineSpace(static_cast<unsigned char>(c))) {
                    ++consumed;
                    continue;
                }
                started = true;
            }
            if (lineEnd) {
                if (!isLineSpace(static_cast<unsigned char>(c))) {
                    done = true;
                    break;
                }
                lineEnd = false;
                c = ' ';
            } else if (c == '\r') {
                if (firstLineEnd == UINT32_MAX)
                    firstLineEnd = n;
                ++consumed;
                continue;
            } else if (c == '\n') {
                if (firstLineEnd == UINT32_MAX)
                    firstLineEnd = n;
                lineEnd = true;
                ++consumed;
                continue;
            }
            ++consumed;
            if (n < limit)
                line[n++] = c;
            else
                result.fits = false;
        }
    }
    stream.reset();
    // Nothing dropped before the colon: the raw count is the buffer's. Otherwise count again on
    // the raw bytes from the start of the line (the mark is still there).
    const char* colon = static_cast<const char*>(std::memchr(line, ':', n));
    if (colon && static_cast<uint32_t>(colon - line) < firstLineEnd)
        result.nameFits = static_cast<uint32_t>(colon - line) < KvSipHeader::NAME_BUFFER_SIZE;
    else {
        result.nameFits = nameFitsRaw(stream);
        stream.reset();
    }
    stream.skip(consumed);
    line[n++] = '\r';
    line[n++] = '\n';
    result.text = line;
    result.length = n;
    return result;
}

} // namespace

// One process-wide map from header name to creator. Filled by the registrars before main and only
// read afterwards, so it needs no lock; it is never destroyed, so late users still find it.
class KvSipHeaderRegistry {
public:
    static KvSipHeaderRegistry& instance() {
        static KvSipHeaderRegistry* registry = new KvSipHeaderRegistry;
        return *registry;
    }

    // A second registration of a name keeps the first.
    void add(const char* name, KvSipHeader::Creator creator) {
        if (!name || !*name || !creator || find(name))
            return;
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        insert(std::string(name), creator);
    }

    KvSipHeader::Creator find(std::string_view name) const {
        const Slot* slot = findSlot(name);
        return slot ? slot->creator : nullptr;
    }

    // A new header of the class registered under the name; null when none is.
    KvSipHeader* create(std::string_view name) const {
        const Slot* slot = findSlot(name);
        if (!slot)
            return nullptr;
        KvSipHeader* header = slot->creator();
        // A registered class's tokens are static and every header of it, on every thread, shares
        // them: permanent, they cost no locked bus cycle per header. Marked once per name.
        if (!slot->tokensPermanent.load(std::memory_order_acquire)) {
            if (KvStringBuffer* token = header->getToken().get())
                token->setPermanent();
            if (KvStringBuffer* token = header->getCompactToken().get())
                token->setPermanent();
            slot->tokensPermanent.store(true, std::memory_order_release);
        }
        return header;
    }

private:
    // Open addressing in a power-of-two table at most half full: every received header is looked
    // up, and a lookup is a hash, a mask and, as a rule, one comparison.
    struct Slot {
        Slot() = default;
        Slot(Slot&& other) noexcept : name(std::move(other.name)), creator(other.creator) {}
        Slot& operator=(Slot&& other) noexcept {
            name = std::move(other.name);
            creator = other.creator;
            return *this;
        }
        std::string name;
        KvSipHeader::Creator creator = nullptr;
        mutable std::atomic<bool> tokensPermanent{false};
    };

    const Slot* findSlot(std::string_view name) const {
        if (m_slots.empty())
            return nullptr;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = NameHash()(name) & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (!slot.creator)
                return nullptr;
            if (NameEqual()(slot.name, name))
                return &slot;
        }
    }

    void insert(std::string name, KvSipHeader::Creator creator) {
        const size_t mask = m_slots.size() - 1;
        size_t i = NameHash()(name) & mask;
        while (m_slots[i].creator)
            i = (i + 1) & mask;
        m_slots[i].name = std::move(name);
        m_slots[i].creator = creator;
        ++m_count;
    }

    void grow() {
        std::vector<Slot> old = std::move(m_slots);
        m_slots = std::vector<Slot>(old.empty() ? 128 : old.size() * 2);
        m_count = 0;
        for (Slot& slot : old)
            if (slot.creator)
                insert(std::move(slot.name), slot.creator);
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};

KvSipHeader::KvSipHeader(const KvString& token) : m_name(token), m_id(KV_HEADER_NONE) {}

void KvSipHeader::setName(const KvString& name) {
    KvSipParseError::refuseLineEnd(name, *this);
    m_name = name;
}

KvSipHeader::KvSipHeader(const KvSipHeader& other)
    : KvObject(other), m_name(other.m_name), m_id(other.m_id) {}

KvSipHeader::~KvSipHeader() {
    // Let go of the chain behind us one header at a time: a long chain must not recurse once per
    // header through the destructors.
    KvHandle<KvSipHeader> next = std::move(m_next);
    // Acquire: a holder that let its handle go may have relinked the follower just before.
    while (!next.isNull() && !next->isHeldElsewhere(1)) {
        KvHandle<KvSipHeader> after = std::move(next->m_next);
        next = std::move(after);
    }
    // One that a caller still holds has nothing in front of it any more.
    if (!next.isNull())
        next->place(nullptr, false, std::memory_order_release);
}

const KvString& KvSipHeader::getCompactToken() const {
    return getToken();
}

namespace {

// One lock per cache line, so that threads on neighbouring locks do not slow each other.
struct alignas(64) PaddedMutex {
    KvMutex mutex;
};

constexpr size_t kOwnerLocks = 64;

} // namespace

KvMutex* KvSipHeader::ownerLock(const KvSipMessage* owner) {
    static PaddedMutex* const locks = new PaddedMutex[kOwnerLocks];
    const uint64_t key = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(owner)) >> 4;
    return &locks[(key * 0x9E3779B97F4A7C15ull) >> 58].mutex;
}

KvMutex* KvSipHeader::looseLock() {
    static KvMutex* const lock = new KvMutex;
    return lock;
}

// Runs action(owner) under the lock of the message that holds this header, or action(nullptr)
// under the lock of chains that no message holds, with the place read again under the lock that
// the action runs under. The owner lock is held throughout: the message's destructor passes
// through it, so the message is alive until the action is done.
template <class F> void KvSipHeader::underOwnerLock(F&& action) const {
    for (;;) {
        KvSipMessage* owner = this->owner();
        if (!owner) {
            KvLockGuard guard(looseLock());
            if (!this->owner())
                return action(nullptr);
            continue;
        }
        std::unique_lock<KvMutex> meeting(*ownerLock(owner));
        if (this->owner() != owner)
            continue;
        std::unique_lock<KvMutex> guard(*owner->m_lock);
        // A remove or a cut, under the message's lock alone, may have freed it meanwhile.
        if (this->owner() == owner)
            return action(owner);
    }
}

KvHandle<KvSipHeader> KvSipHeader::getNext() const {
    KvHandle<KvSipHeader> next;
    underOwnerLock([&](KvSipMessage*) { next = m_next; });
    return next;
}

void KvSipHeader::setNext(const KvHandle<KvSipHeader>& next) {
    underOwnerLock(
        [&](KvSipMessage* owner) { const_cast<KvSipHeader*>(this)->relink(next, owner); });
}

void KvSipHeader::appendToChain(const KvHandle<KvSipHeader>& header) {
    if (header.isNull())
        return;
    underOwnerLock([&](KvSipMessage* owner) {
        KvSipHeader* last = this;
        while (!last->m_next.isNull())
            last = last->m_next.get();
        last->relink(header, owner);
    });
}

// Under the lock of owner, or of the chains that no message holds when it is null. next comes by
// value: it may be a link that the relink cuts.
void KvSipHeader::relink(KvHandle<KvSipHeader> next, KvSipMessage* owner) {
    // Only a header that is not free can already stand behind this one; it stays where it is and
    // the ones before it are cut off.
    KvSipHeader* lastCut = nullptr;
    if (!next.isNull() && next->m_place.load(std::memory_order_acquire) != 0) {
        KvSipHeader* previous = this;
        for (KvSipHeader* h = m_next.get(); h; previous = h, h = h->m_next.get()) {
            if (h == next.get()) {
                lastCut = previous;
                break;
            }
        }
    }
    KvSipHeader* newEnd = this;
    if (!next.isNull() && !lastCut)
        newEnd = next->claimRun(owner, true, this);
    KvHandle<KvSipHeader> cut = std::move(m_next);
    if (cut.get() == next.get())
        cut.release(); // next was already behind this one: nothing is cut
    else if (lastCut)
        lastCut->m_next.release(); // next and what follows it stay
    // The cut run is whole and apart before the message and the marks let go of it.
    KvSipHeader* cutEnd = cut.get();
    while (cutEnd && !cutEnd->m_next.isNull())
        cutEnd = cutEnd->m_next.get();
    m_next = std::move(next);
    if (owner)
        owner->relinked(this, cutEnd, newEnd);
    if (!cut.isNull())
        cut->releaseRun();
}

// The one gate of every link: takes this header and the run behind it for owner (none: a chain
// that no message holds), at a chain's head or behind another header, when the header is free.
// One that is not, or a run that holds loopAt and would close into a loop, is refused with
// nothing changed. Returns the run's last header.
KvSipHeader* KvSipHeader::claimRun(KvSipMessage* owner, bool behind, const KvSipHeader* loopAt) {
    // A free run stands in no message: another thread that holds one of its headers changes it
    // under the lock of such chains. A run that nothing else holds needs no lock: no other thread
    // can reach it.
    std::unique_lock<KvMutex> loose;
    for (const KvSipHeader* h = this; owner && h; h = h->m_next.get()) {
        if (h->isHeldElsewhere(1)) {
            loose = std::unique_lock<KvMutex>(*looseLock());
            break;
        }
    }
    uintptr_t free = 0;
    if (!m_place.compare_exchange_strong(free, placeOf(owner, behind), std::memory_order_acq_rel))
        KvException::sThrow("Adding a header twice!");
    KvSipHeader* last = this;
    for (KvSipHeader* h = this; h; h = h->m_next.get()) {
        if (h == loopAt) {
            // Only a chain that no message holds can close on itself, and the run's marks are
            // those of such a chain: the head alone is taken back.
            place(nullptr, false, std::memory_order_release);
            KvException::sThrow("Adding a header twice!");
        }
        if (owner && h != this)
            h->place(owner, true, std::memory_order_release);
        last = h;
    }
    return last;
}

// This header is free again and the run behind it stands in no message. Once a header of the run
// is marked, another thread may take it and relink what follows it, so the run is marked from its
// end back, and this header, which another thread may then take, last.
void KvSipHeader::releaseRun() {
    // A lone header, as removeHeader releases, costs no allocation.
    std::vector<KvSipHeader*> run;
    for (KvSipHeader* h = m_next.get(); h; h = h->m_next.get())
        run.push_back(h);
    for (auto h = run.rbegin(); h != run.rend(); ++h)
        (*h)->place(nullptr, true, std::memory_order_release);
    place(nullptr, false, std::memory_order_release);
}

void KvSipHeader::writeChain(KvSipGatheringStream& stream) const {
    for (const KvSipHeader* header = this; header; header = header->m_next.get()) {
        stream.write(header->m_name.data(), header->m_name.length(), 0);
        stream.write(": ", 2, 0);
        header->serialize(stream);
        stream.write("\r\n", 2, 0);
    }
}

// Gathered under the lock and handed on to the target once it is let go: the target may block,
// or reach another message whose own writer waits for this one.
void KvSipHeader::serializeChain(KvOutputStream& target) const {
    KvSipGatheringStream stream(target);
    stream.hold();
    try {
        underOwnerLock([&](KvSipMessage*) { writeChain(stream); });
    } catch (...) {
        stream.release();
        throw;
    }
    stream.release();
}

void KvSipHeader::registerHeader(const char* name, Creator creator) {
    KvSipHeaderRegistry::instance().add(name, creator);
}

KvHandle<KvSipHeader> KvSipHeader::createHeader(const char* name) {
    return createHeader(name, name ? static_cast<uint32_t>(std::strlen(name)) : 0);
}

KvHandle<KvSipHeader> KvSipHeader::createHeader(const char* name, uint32_t length) {
    if (name) {
        if (KvSipHeader* header =
                KvSipHeaderRegistry::instance().create(std::string_view(name, length)))
            return KvHandle<KvSipHeader>(header);
    }
    // A name of length 0 is empty, whatever bytes follow it. A caller's name with a line end is
    // refused there; one the parser read holds none.
    KvString text(name ? KvStringBuffer::create(length ? name : "", length, length + 1) : nullptr);
    return KvHandle<KvSipHeader>(new KvSipUnknownHeader(text, KvString()));
}

KvHandle<KvSipHeader> KvSipHeader::sConstructFrom(KvInputStream& stream) {
    char buffer[LINE_BUFFER_SIZE];
    LineRead read;
    if (!windowLine(stream, read))
        read = readUnfoldedLine(stream, buffer);
    const char* line = read.text;
    const uint32_t textLength = read.length - 2;

    // The name runs to the colon; a line without one is all name and has an empty value, as long
    // as the colon of the line behind it still lies within the name bound.
    const char* colon =
        read.colon ? read.colon : static_cast<const char*>(std::memchr(line, ':', textLength));
    if (!read.nameFits)
        KvSipParseError::raise("Header token expected");
    const uint32_t valueStart = colon ? static_cast<uint32_t>(colon - line) + 1 : textLength;
    uint32_t nameLength = colon ? static_cast<uint32_t>(colon - line) : textLength;
    while (nameLength > 0 && isWhite(static_cast<unsigned char>(line[nameLength - 1])))
        --nameLength;
    if (nameLength == 0)
        KvSipParseError::raise("Header token expected");
    if (!read.fits)
        KvSipParseError::raise("Header line too long");
    // Names and values are C texts further on: a NUL would silently cut them short.
    if (!read.colon && std::memchr(line, '\0', textLength))
        KvSipParseError::raise("NUL in header line");
    const char* name = line;

    KvHandle<KvSipHeader> header = createHeader(name, nameLength);
    // A parsed header keeps its name as written; the class's own tokens are shared, not copied.
    auto isName = [&](const KvString& text) {
        return text.length() == nameLength && std::memcmp(text.data(), name, nameLength) == 0;
    };
    if (!isName(header->m_name)) {
        if (isName(header->getToken()))
            header->m_name = header->getToken();
        else if (isName(header->getCompactToken()))
            header->m_name = header->getCompactToken();
        else
            header->m_name = KvString(KvStringBuffer::create(name, nameLength, nameLength + 1));
    }

    KvSipHeaderTextStream value(line + valueStart, read.length - valueStart);

    // Comma rule: each comma outside what a class's parser reads starts a sibling of the same
    // class, linked behind the one before it.
    KvSipHeader* current = header.get();
    const char* lookedUpToken = nullptr; // siblings share their token: one lookup serves them all
    Creator siblingCreator = nullptr;
    for (;;) {
        current->doParse(value);
        int c;
        do {
            c = value.read();
        } while (c >= 0 && c != ',');
        if (c < 0)
            break;
        const KvString& token = current->getToken();
        if (!lookedUpToken || token.data() != lookedUpToken) {
            lookedUpToken = token.data();
            siblingCreator = token.data() ? KvSipHeaderRegistry::instance().find(
                                                std::string_view(token.data(), token.length()))
                                          : nullptr;
        }
        KvHandle<KvSipHeader> sibling(siblingCreator ? siblingCreator()
                                                     : createHeader(token.data(), token.length()));
        KvSipHeader* next = sibling.get();
        next->place(nullptr, true, std::memory_order_relaxed);
        current->m_next = std::move(sibling);
        current = next;
    }
    return header;
}
