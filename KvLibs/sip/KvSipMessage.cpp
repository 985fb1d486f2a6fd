#include "KvSipMessage.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvMutex.h"
#include "KvOutputStream.h"
#include "KvSipGatheringStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipHeaders.h"
#include "KvSipParseError.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "KvSipUnknownRequest.h"
#include "KvSipURL.h"
#include "KvStreamTokenizer.h"
#include "KvTelURL.h"

// Every method class, so that linking the parser links their registrars.
#include "KvSipAckMessage.h"
#include "KvSipByeMessage.h"
#include "KvSipCancelMessage.h"
#include "KvSipInfoMessage.h"
#include "KvSipInviteMessage.h"
#include "KvSipNotifyMessage.h"
#include "KvSipOptionsMessage.h"
#include "KvSipPrackMessage.h"
#include "KvSipRegisterMessage.h"
#include "KvSipSubscribeMessage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// First tokens compare exactly; a handful of entries, so a flat list is the quickest lookup.
class KvSipMessageRegistry {
public:
    static KvSipMessageRegistry& instance() {
        static KvSipMessageRegistry* registry = new KvSipMessageRegistry;
        return *registry;
    }

    void add(const char* token, KvSipMessage::Creator creator) {
        if (!token || !*token || !creator || find(token, std::strlen(token)))
            return;
        m_entries.emplace_back(std::string(token), creator);
    }

    KvSipMessage::Creator find(const char* token, size_t length) const {
        for (const auto& entry : m_entries)
            if (entry.first.size() == length && std::memcmp(entry.first.data(), token, length) == 0)
                return entry.second;
        return nullptr;
    }

private:
    std::vector<std::pair<std::string, KvSipMessage::Creator>> m_entries;
};

void logException(const char* heading, KvHandle<KvException>& e) {
    KvErrorLine("KvException", 0).stream() << heading << e->getText() << endl;
}

const char* const kKeyError = "Unable to create transaction key for INVALID SIP Message";

// The body grows with the bytes that actually arrive, never ahead of them, so a Content-Length
// larger than the message costs no allocation of that size.
class BodyBuffer {
public:
    ~BodyBuffer() { delete[] m_block; }

    bool reserve(uint32_t wanted) {
        if (wanted <= m_capacity)
            return true;
        char* grown = new char[wanted];
        if (m_length)
            std::memcpy(grown, m_block, m_length);
        delete[] m_block;
        m_block = grown;
        m_capacity = wanted;
        return true;
    }
    char* tail() { return m_block + m_length; }
    void grow(uint32_t count) { m_length += count; }
    uint32_t length() const { return m_length; }
    uint32_t capacity() const { return m_capacity; }
    char* release() {
        char* block = m_block;
        m_block = nullptr;
        m_length = m_capacity = 0;
        return block;
    }

private:
    char* m_block = nullptr;
    uint32_t m_length = 0;
    uint32_t m_capacity = 0;
};

constexpr uint32_t kBodyChunk = 4096;

} // namespace

KvSipMessage::KvSipMessage()
    : m_lock(&m_lockStorage), m_headerOrder{}, m_headerOrderCount(0), m_body(nullptr),
      m_bodyLength(0), m_majorVersion(2), m_minorVersion(0), m_peerPort(0), m_transport(0),
      m_parseState(KV_VALID) {}

KvSipMessage::KvSipMessage(const KvSipMessage& other)
    : KvObject(other), m_lock(&m_lockStorage), m_headerOrder{}, m_headerOrderCount(0),
      m_body(nullptr), m_bodyLength(0), m_majorVersion(2), m_minorVersion(0), m_peerPort(0),
      m_transport(0), m_parseState(KV_VALID) {
    try {
        // Fields that the source's setters change under its lock are read under it too.
        KvLockGuard guard(other.m_lock);
        m_majorVersion = other.m_majorVersion;
        m_minorVersion = other.m_minorVersion;
        m_peerAddress = other.m_peerAddress;
        m_peerPort = other.m_peerPort;
        m_transport = other.m_transport;
        m_parseState = other.m_parseState;
        // Each clone goes into the chain its original stands in, which a caller's own links may
        // have made another than its id's; chains started in the source's order keep that order.
        for (uint32_t i = 0; i < other.m_headerOrderCount; ++i) {
            const KvSipHeaderId id = static_cast<KvSipHeaderId>(other.m_headerOrder[i]);
            addFreshHeader(cloneRun(other.m_headers[id].get()), id);
        }
        // The block is copied with its own byte count, under the same hold as the headers.
        if (other.m_body && other.m_bodyLength > 0) {
            m_body = new char[other.m_bodyLength];
            std::memcpy(m_body, other.m_body, other.m_bodyLength);
            m_bodyLength = other.m_bodyLength;
        }
    } catch (...) {
        // The headers copied so far go with the members; only the block is ours to free.
        delete[] m_body;
        throw;
    }
}

KvSipMessage::~KvSipMessage() {
    // A thread that reached this message through a header, even one that has left it since,
    // holds the owner lock until it is done with the message; any other user held a handle.
    {
        KvLockGuard meeting(KvSipHeader::ownerLock(this));
        // A header that only the message holds goes with it. One that another thread holds
        // outlives it, and so do the chains behind it: they stand in no message from here on.
        if (isAnyHeaderHeldElsewhere())
            for (uint32_t i = 0; i < m_headerOrderCount; ++i)
                m_headers[m_headerOrder[i]]->releaseRun();
    }
    delete[] m_body;
}

// Under the owner lock, with no handle to the message left: another thread
// reaches a header only through a handle of its own, to it or to a header in front of it, so the
// chains are read from their heads on.
bool KvSipMessage::isAnyHeaderHeldElsewhere() const {
    for (uint32_t i = 0; i < m_headerOrderCount; ++i)
        for (const KvSipHeader* h = m_headers[m_headerOrder[i]].get(); h; h = h->m_next.get())
            if (h->isHeldElsewhere(1))
                return true;
    return false;
}

bool KvSipMessage::isValid() const {
    return getParseState() == KV_VALID;
}

// ---- header storage

void KvSipMessage::appendOrder(KvSipHeaderId id) {
    for (uint32_t i = 0; i < m_headerOrderCount; ++i)
        if (m_headerOrder[i] == id)
            return;
    m_headerOrder[m_headerOrderCount++] = static_cast<uint8_t>(id);
}

void KvSipMessage::removeOrder(KvSipHeaderId id) {
    for (uint32_t i = 0; i < m_headerOrderCount; ++i) {
        if (m_headerOrder[i] == id) {
            std::memmove(m_headerOrder + i, m_headerOrder + i + 1, m_headerOrderCount - i - 1);
            --m_headerOrderCount;
            return;
        }
    }
}

void KvSipMessage::addHeader(KvHandle<KvSipHeader> header, bool atFront) {
    KvLockGuard guard(m_lock);
    addHeaderUnlocked(std::move(header), atFront);
}

void KvSipMessage::addHeaderUnlocked(KvHandle<KvSipHeader> header, bool atFront) {
    if (header.isNull())
        return;
    KvSipHeaderId id = header->getId();
    if (id >= KV_HEADER_ID_COUNT)
        KvException::sThrow("Header id out of range");
    KvHandle<KvSipHeader>& head = m_headers[id];
    const bool newHead = head.isNull() || atFront;
    KvSipHeader* lastAdded = header->claimRun(this, !newHead, nullptr);
    if (head.isNull()) {
        head = std::move(header);
        m_chainEnds[id] = lastAdded;
        appendOrder(id);
        return;
    }
    if (atFront) {
        // The chain's end stays where it is.
        head->place(this, true, std::memory_order_release);
        lastAdded->m_next = head;
        head = std::move(header);
        return;
    }
    // From the kept end, or from the head when the end is not known.
    KvSipHeader* last = m_chainEnds[id] ? m_chainEnds[id] : head.get();
    while (!last->m_next.isNull())
        last = last->m_next.get();
    last->m_next = std::move(header);
    m_chainEnds[id] = lastAdded;
}

// A chain the parser or the copy has just made, put in the chain of id: no other message or caller
// can hold any of its headers, and nobody else sees this message yet, so the checks and the
// locked claim of addHeaderUnlocked are not needed.
void KvSipMessage::addFreshHeader(KvHandle<KvSipHeader>&& header, KvSipHeaderId id) {
    if (id >= KV_HEADER_ID_COUNT)
        KvException::sThrow("Header id out of range");
    KvHandle<KvSipHeader>& head = m_headers[id];
    KvSipHeader* lastAdded = header.get();
    lastAdded->place(this, !head.isNull(), std::memory_order_relaxed);
    while (KvSipHeader* next = lastAdded->m_next.get()) {
        next->place(this, true, std::memory_order_relaxed);
        lastAdded = next;
    }
    if (head.isNull()) {
        // An empty chain has no place in the order yet (removal takes it out with its last header).
        head = std::move(header);
        m_headerOrder[m_headerOrderCount++] = static_cast<uint8_t>(id);
    } else {
        KvSipHeader* last = m_chainEnds[id] ? m_chainEnds[id] : head.get();
        while (!last->m_next.isNull())
            last = last->m_next.get();
        last->m_next = std::move(header);
    }
    m_chainEnds[id] = lastAdded;
}

KvHandle<KvSipHeader> KvSipMessage::cloneChain(const KvSipMessage& source, KvSipHeaderId id) {
    if (id >= KV_HEADER_ID_COUNT)
        return KvHandle<KvSipHeader>();
    KvLockGuard guard(source.m_lock);
    return cloneRun(source.m_headers[id].get());
}

// Clones of first and of every header behind it, linked as a chain that no message holds.
KvHandle<KvSipHeader> KvSipMessage::cloneRun(const KvSipHeader* first) {
    KvHandle<KvSipHeader> head;
    KvSipHeader* last = nullptr;
    for (const KvSipHeader* h = first; h; h = h->m_next.get()) {
        KvHandle<KvSipHeader> clone(static_cast<KvSipHeader*>(h->clone()));
        KvSipHeader* added = clone.get();
        if (last) {
            added->place(nullptr, true, std::memory_order_relaxed);
            last->m_next = std::move(clone);
        } else {
            head = std::move(clone);
        }
        last = added;
    }
    return head;
}

// A caller relinked a chain by hand at header at, cutting off the run that ended at cutEnd (null:
// none). A chain's end is its last header, so only at or cutEnd can have been one; that end
// becomes newEnd. The ends are compared, never read: a cut header may be gone.
void KvSipMessage::relinked(const KvSipHeader* at, const KvSipHeader* cutEnd, KvSipHeader* newEnd) {
    for (KvSipHeader*& end : m_chainEnds)
        if (end && (end == at || end == cutEnd))
            end = newEnd;
}

KvHandle<KvSipHeader> KvSipMessage::getHeader(KvSipHeaderId id, bool lock) const {
    if (id >= KV_HEADER_ID_COUNT)
        return KvHandle<KvSipHeader>();
    if (!lock)
        return KvHandle<KvSipHeader>(m_headers[id].get());
    KvLockGuard guard(m_lock);
    return m_headers[id];
}

KvSipHeaderId KvSipMessage::findIdByNameUnlocked(const char* name) const {
    if (!name)
        return KV_HEADER_UNKNOWN;
    for (uint32_t i = 0; i < m_headerOrderCount; ++i) {
        // The head is read once: a caller that skips the lock must not see it twice.
        const KvSipHeader* head = m_headers[m_headerOrder[i]].get();
        if (head && head->getName().equalsIgnoreCase(name))
            return static_cast<KvSipHeaderId>(m_headerOrder[i]);
    }
    return KV_HEADER_UNKNOWN;
}

KvSipHeaderId KvSipMessage::findIdByName(const char* name, bool lock) const {
    if (!lock)
        return findIdByNameUnlocked(name);
    KvLockGuard guard(m_lock);
    return findIdByNameUnlocked(name);
}

KvHandle<KvSipHeader> KvSipMessage::findHeaderUnlocked(const char* name) const {
    KvSipHeaderId id = findIdByNameUnlocked(name);
    if (id != KV_HEADER_UNKNOWN)
        return m_headers[id];
    for (KvSipHeader* header = m_headers[KV_HEADER_UNKNOWN].get(); header;
         header = header->m_next.get())
        if (name && header->getName() == name)
            return KvHandle<KvSipHeader>(header);
    return KvHandle<KvSipHeader>();
}

KvHandle<KvSipHeader> KvSipMessage::findHeader(const char* name) const {
    KvLockGuard guard(m_lock);
    return findHeaderUnlocked(name);
}

bool KvSipMessage::removeHeader(const char* name) {
    KvLockGuard guard(m_lock);
    return removeHeaderUnlocked(name);
}

bool KvSipMessage::removeHeaderUnlocked(const char* name) {
    KvSipHeaderId id = findIdByNameUnlocked(name);
    KvHandle<KvSipHeader>& head = m_headers[id];
    if (head.isNull())
        return false;
    KvHandle<KvSipHeader> removed;
    KvSipHeader* previous = nullptr;
    if (id != KV_HEADER_UNKNOWN) {
        removed = head;
    } else {
        for (KvSipHeader* header = head.get(); header; header = header->m_next.get()) {
            if (name && header->getName().equalsIgnoreCase(name)) {
                removed = header;
                break;
            }
            previous = header;
        }
        if (removed.isNull())
            return false;
    }
    if (previous) {
        previous->m_next = removed->m_next;
    } else {
        head = removed->m_next;
        if (!head.isNull())
            head->place(this, false, std::memory_order_release);
    }
    removed->m_next.release();
    if (m_chainEnds[id] == removed.get())
        m_chainEnds[id] = previous;
    if (head.isNull())
        removeOrder(id);
    // Free now: from here on another thread may take it.
    removed->releaseRun();
    return true;
}

std::vector<KvSipHeaderId> KvSipMessage::getHeaderOrder() const {
    KvLockGuard guard(m_lock);
    std::vector<KvSipHeaderId> order;
    order.reserve(m_headerOrderCount);
    for (uint32_t i = 0; i < m_headerOrderCount; ++i)
        order.push_back(static_cast<KvSipHeaderId>(m_headerOrder[i]));
    return order;
}

KvHandle<KvSipViaHeader> KvSipMessage::getViaHeader() const {
    return KvHandle<KvSipViaHeader>(getHeader(KV_HEADER_VIA, true));
}

KvHandle<KvSipFromHeader> KvSipMessage::getFromHeader() const {
    return KvHandle<KvSipFromHeader>(getHeader(KV_HEADER_FROM, true));
}

KvHandle<KvSipToHeader> KvSipMessage::getToHeader() const {
    return KvHandle<KvSipToHeader>(getHeader(KV_HEADER_TO, true));
}

KvHandle<KvSipCSeqHeader> KvSipMessage::getCSeqHeader() const {
    return KvHandle<KvSipCSeqHeader>(getHeader(KV_HEADER_CSEQ, true));
}

KvHandle<KvSipCallIdHeader> KvSipMessage::getCallIdHeader() const {
    return KvHandle<KvSipCallIdHeader>(getHeader(KV_HEADER_CALL_ID, true));
}

KvHandle<KvSipContentLengthHeader> KvSipMessage::getContentLengthHeader() const {
    return KvHandle<KvSipContentLengthHeader>(getHeader(KV_HEADER_CONTENT_LENGTH, true));
}

KvHandle<KvSipContactHeader> KvSipMessage::getContactHeader() const {
    return KvHandle<KvSipContactHeader>(getHeader(KV_HEADER_CONTACT, true));
}

KvHandle<KvSipContentTypeHeader> KvSipMessage::getContentTypeHeader() const {
    return KvHandle<KvSipContentTypeHeader>(getHeader(KV_HEADER_CONTENT_TYPE, true));
}

bool KvSipMessage::hasOptionTag(KvSipHeaderId id, const char* tag) const {
    if (!tag)
        return false;
    KvLockGuard guard(m_lock);
    for (const KvSipHeader* header = m_headers[id].get(); header; header = header->m_next.get()) {
        auto* tagged = dynamic_cast<const KvSipOptionTagHeader*>(header);
        if (tagged && tagged->getOptionTag() == tag)
            return true;
    }
    return false;
}

// Found by id, so a compact "k" counts as well as "Supported".
bool KvSipMessage::isOptionSupported(const char* tag) const {
    return hasOptionTag(KV_HEADER_SUPPORTED, tag);
}

bool KvSipMessage::isOptionRequired(const char* tag) const {
    return hasOptionTag(KV_HEADER_REQUIRE, tag);
}

// ---- body

// The values are read under the lock too: setBody changes them under it.
// A header of another class at the head of the slot counts as none, as when the message is written.
uint32_t KvSipMessage::getContentLength() const {
    KvLockGuard guard(m_lock);
    const auto* length =
        kvHeaderAs<KvSipContentLengthHeader>(m_headers[KV_HEADER_CONTENT_LENGTH].get());
    return length ? length->getLength() : 0;
}

KvString KvSipMessage::getContentType() const {
    KvLockGuard guard(m_lock);
    const auto* type = kvHeaderAs<KvSipContentTypeHeader>(m_headers[KV_HEADER_CONTENT_TYPE].get());
    return type ? type->getMediaType() : KvString();
}

void KvSipMessage::replaceBody(char* block, uint32_t length) {
    delete[] m_body;
    m_body = block;
    m_bodyLength = block ? length : 0;
}

void KvSipMessage::setBody(const char* body, const char* contentType, uint32_t length) {
    KvLockGuard guard(m_lock);
    setBodyUnlocked(body, contentType, length);
}

void KvSipMessage::setBodyUnlocked(const char* body, const char* contentType, uint32_t length) {
    KvSipParseError::refuseLineEnd(contentType, *this);
    if (length > 0 && !body)
        KvSipParseError::raise("Can't build SIP request with NULL body pointer");
    if (length > 0 && !contentType)
        KvSipParseError::raise("Can't build SIP request(with body) with no content-type");

    // Everything that can fail is built before the message changes.
    std::unique_ptr<char[]> block;
    if (length > 0) {
        block.reset(new char[length]);
        std::memcpy(block.get(), body, length);
    }
    KvHandle<KvSipContentLengthHeader> lengthHeader(m_headers[KV_HEADER_CONTENT_LENGTH]);
    KvHandle<KvSipHeader> newLength;
    if (lengthHeader.isNull())
        newLength = new KvSipContentLengthHeader(length);
    KvHandle<KvSipContentTypeHeader> typeHeader(m_headers[KV_HEADER_CONTENT_TYPE]);
    KvHandle<KvSipHeader> newType;
    if (contentType && typeHeader.isNull()) {
        auto* built = new KvSipContentTypeHeader();
        newType = built;
        built->setValue(contentType);
    }

    // A held type is read in place and may still refuse the text: first of the changes.
    if (contentType && !typeHeader.isNull())
        typeHeader->setValue(contentType);
    if (!lengthHeader.isNull())
        lengthHeader->setLength(length);
    else
        addHeaderUnlocked(newLength);
    replaceBody(block.release(), length);
    if (!newType.isNull())
        addHeaderUnlocked(newType);
}

void KvSipMessage::readBody(KvInputStream& stream) {
    // Only its number is read, before anything may replace the header: no handle of our own.
    const auto* lengthHeader =
        kvHeaderAs<KvSipContentLengthHeader>(m_headers[KV_HEADER_CONTENT_LENGTH].get());
    BodyBuffer buffer;
    if (lengthHeader) {
        uint32_t wanted = lengthHeader->getLength();
        if (wanted == 0)
            return;
        while (buffer.length() < wanted) {
            uint32_t missing = wanted - buffer.length();
            if (buffer.capacity() == buffer.length()) {
                int32_t available = stream.available();
                uint32_t step = available > 0 ? static_cast<uint32_t>(available) : kBodyChunk;
                if (step < buffer.length())
                    step = buffer.length(); // at least double
                if (step > missing)
                    step = missing;
                buffer.reserve(buffer.length() + step);
            }
            int32_t room = static_cast<int32_t>(buffer.capacity() - buffer.length());
            int32_t got = stream.read(buffer.tail(), room, 0);
            if (got <= 0)
                KvSipParseError::raise("message body is shorter than Content-Length");
            buffer.grow(static_cast<uint32_t>(got));
        }
        uint32_t length = buffer.length();
        replaceBody(buffer.release(), length);
        return;
    }
    // No Content-Length: the body is the rest of the stream. Every pass reads or stops.
    for (;;) {
        if (buffer.capacity() == buffer.length()) {
            int32_t available = stream.available();
            uint32_t step = available > 0 ? static_cast<uint32_t>(available) : kBodyChunk;
            if (step < buffer.length())
                step = buffer.length();
            if (step > UINT32_MAX - buffer.length())
                KvSipParseError::raise("message body too large");
            buffer.reserve(buffer.length() + step);
        }
        int32_t room = static_cast<int32_t>(
            std::min<uint32_t>(buffer.capacity() - buffer.length(), INT32_MAX));
        int32_t got = stream.read(buffer.tail(), room, 0);
        if (got <= 0)
            break;
        buffer.grow(static_cast<uint32_t>(got));
    }
    uint32_t total = buffer.length();
    addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(total)));
    if (total > 0)
        replaceBody(buffer.release(), total);
}

// ---- peer and state

void KvSipMessage::setPeerAddress(const KvInetAddress& address) {
    KvLockGuard guard(m_lock);
    m_peerAddress = address;
}

void KvSipMessage::setPeerPort(int32_t port) {
    KvLockGuard guard(m_lock);
    m_peerPort = port;
}

void KvSipMessage::setTransport(int32_t transport) {
    KvLockGuard guard(m_lock);
    m_transport = transport;
}

void KvSipMessage::copyPeer(const KvSipMessage& other) {
    KvInetAddress address;
    int32_t port;
    int32_t transport;
    {
        KvLockGuard guard(other.m_lock);
        address = other.m_peerAddress;
        port = other.m_peerPort;
        transport = other.m_transport;
    }
    KvLockGuard guard(m_lock);
    m_peerAddress = address;
    m_peerPort = port;
    m_transport = transport;
}

void KvSipMessage::validate() {
    KvLockGuard guard(m_lock);
    checkHeaders();
}

bool KvSipMessage::checkHeaders() {
    auto single = [this](KvSipHeaderId id) {
        return !m_headers[id].isNull() && m_headers[id]->m_next.isNull();
    };
    // A request's CSeq method must match its own: KvSipRequest::validate adds that check.
    const bool valid = !m_headers[KV_HEADER_VIA].isNull() && single(KV_HEADER_FROM) &&
                       single(KV_HEADER_TO) && single(KV_HEADER_CSEQ) &&
                       single(KV_HEADER_CONTENT_LENGTH) && single(KV_HEADER_CALL_ID);
    if (!valid)
        markInvalid();
    return valid;
}

// ---- parse and serialise

void KvSipMessage::registerMessage(const char* token, Creator creator) {
    KvSipMessageRegistry::instance().add(token, creator);
}

KvHandle<KvSipMessage> KvSipMessage::sConstructFrom(KvInputStream& stream) {
    static constexpr KvCharClass kMethodEnd{" /\t\r\n"};
    char token[TOKEN_BUFFER_SIZE];
    if (!KvStreamTokenizer::readTokenToBuffer(stream, kMethodEnd, token, sizeof(token)) ||
        token[0] == '\0')
        KvSipParseError::raise("SIP Method Token Expected");
    Creator creator = KvSipMessageRegistry::instance().find(token, std::strlen(token));
    KvHandle<KvSipMessage> message(creator ? creator() : new KvSipUnknownRequest);
    message->parse(token, stream);
    return message;
}

void KvSipMessage::parse(const char*, KvInputStream& stream) {
    try {
        parseStartLine(stream);
    } catch (KvHandle<KvException>& e) {
        logException("Exception occurred while parsing start-line of message: ", e);
        setDamage(KV_INVALID);
    }
    readHeaders(stream);
    try {
        readBody(stream);
    } catch (KvHandle<KvException>& e) {
        logException("KvException Occurred while parsing body of message: ", e);
        setDamage(KV_MALFORMED);
    }
    if (m_headers[KV_HEADER_CONTENT_LENGTH].isNull())
        addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
    if (m_parseState == KV_VALID)
        validate();
}

void KvSipMessage::readHeaders(KvInputStream& stream) {
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0 || c == '\n')
            return;
        if (c == '\r')
            continue;
        stream.reset();
        bool added = false;
        try {
            KvHandle<KvSipHeader> header = KvSipHeader::sConstructFrom(stream);
            added = !header.isNull();
            if (added) {
                const KvSipHeaderId id = header->getId();
                addFreshHeader(std::move(header), id);
            }
        } catch (KvHandle<KvException>& e) {
            logException("Caught KvException from KvSipHeader::sConstructFrom(): ", e);
            added = false;
        }
        if (!added)
            setDamage(KV_MALFORMED);
    }
}

void KvSipMessage::serialize(KvOutputStream& target) const {
    KvSipGatheringStream stream(target);
    try {
        serializeStartLine(stream);
        writeLocked(stream);
        stream.release();
        stream.flush();
    } catch (...) {
        // What was written before the failure reaches the target, as it would unbuffered.
        stream.release();
        throw;
    }
}

// The headers and the body, gathered under the lock and handed on once it is let go: the target
// may block, or write into another message whose own writer waits for this one.
void KvSipMessage::writeLocked(KvSipGatheringStream& stream) const {
    KvLockGuard guard(m_lock);
    stream.hold();
    for (uint32_t i = 0; i < m_headerOrderCount; ++i) {
        const KvHandle<KvSipHeader>& head = m_headers[m_headerOrder[i]];
        if (!head.isNull())
            head->writeChain(stream);
    }
    stream.write("\r\n", 2, 0);
    // A header of another class that heads the slot counts as none.
    const auto* lengthHeader =
        kvHeaderAs<KvSipContentLengthHeader>(m_headers[KV_HEADER_CONTENT_LENGTH].get());
    if (m_body && lengthHeader) {
        uint32_t length = lengthHeader->getLength();
        // Never past the block, whatever Content-Length was set to after the body.
        if (length > m_bodyLength)
            length = m_bodyLength;
        stream.write(m_body, length, 0);
    }
}

// ---- transaction key

namespace {

void appendDecimal(std::string& key, int64_t value) {
    key += std::to_string(value);
}

// The URI part of an address: user, host and port of a sip URL, the number of a tel URL, or the
// text of any other URI. Returns the sip URL when it is one.
const KvSipURL* appendAddress(std::string& key, const KvHandle<KvSipNameAddress>& address) {
    if (address.isNull())
        return nullptr;
    KvHandle<KvURI> uri = address->getURI();
    if (uri.isNull())
        return nullptr;
    if (auto* sip = dynamic_cast<const KvSipURL*>(uri.get())) {
        key += sip->userText();
        key += sip->hostText();
        appendDecimal(key, sip->getPort());
        return sip;
    }
    if (auto* tel = dynamic_cast<const KvTelURL*>(uri.get())) {
        key += tel->getNumber().c_str();
        return nullptr;
    }
    key += uri->serialize().c_str();
    return nullptr;
}

} // namespace

KvString KvSipMessage::createTransactionKey() const {
    KvHandle<KvSipToHeader> to;
    KvHandle<KvSipFromHeader> from;
    KvHandle<KvSipCallIdHeader> callId;
    KvHandle<KvSipCSeqHeader> cseq;
    KvHandle<KvSipViaHeader> via;
    {
        KvLockGuard guard(m_lock);
        if (m_parseState == KV_INVALID)
            KvException::sThrow(kKeyError);
        to = KvHandle<KvSipToHeader>(m_headers[KV_HEADER_TO]);
        from = KvHandle<KvSipFromHeader>(m_headers[KV_HEADER_FROM]);
        callId = KvHandle<KvSipCallIdHeader>(m_headers[KV_HEADER_CALL_ID]);
        cseq = KvHandle<KvSipCSeqHeader>(m_headers[KV_HEADER_CSEQ]);
        via = KvHandle<KvSipViaHeader>(m_headers[KV_HEADER_VIA]);
    }
    // A damaged message may lack what the key is made of: refuse it like an invalid one.
    if (to.isNull() || from.isNull() || callId.isNull() || cseq.isNull())
        KvException::sThrow(kKeyError);

    std::string key;
    key.reserve(96);
    appendAddress(key, to->getNameAddress());
    if (appendAddress(key, from->getNameAddress()))
        key += from->getTag().c_str();
    if (!via.isNull()) {
        key += via->getHost();
        appendDecimal(key, static_cast<int32_t>(via->getPort()));
        key += via->getBranch().c_str();
    }
    key += callId->getCallIdText();
    appendDecimal(key, cseq->getNumber());
    return KvString(KvStringBuffer::create(key.data(), static_cast<uint32_t>(key.size()),
                                           static_cast<uint32_t>(key.size()) + 1));
}
