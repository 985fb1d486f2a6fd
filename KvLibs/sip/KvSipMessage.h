// The abstract SIP message: headers stored by id in chains, the body, the version, the peer and the
// parse state. Requests and responses add their start lines.
#pragma once

#include "KvInetAddress.h"
#include "KvMutex.h"
#include "KvObject.h"
#include "KvSipHeader.h"
#include "KvSipHeaderId.h"
#include "KvStringBuffer.h"

#include <cstdint>
#include <vector>

class KvInputStream;
class KvOutputStream;
class KvSipGatheringStream;
class KvSipCallIdHeader;
class KvSipCSeqHeader;
class KvSipContactHeader;
class KvSipContentLengthHeader;
class KvSipContentTypeHeader;
class KvSipFromHeader;
class KvSipToHeader;
class KvSipViaHeader;

// What the parser and validate() found. The request line parser can also store the status code
// that answers the fault: 414, 416 or 505.
enum KvSipParseState : int32_t {
    KV_VALID = 0,
    KV_MALFORMED = 1,
    KV_INVALID = 2,
};

class KvSipMessage : public KvObject {
public:
    using Creator = KvSipMessage* (*)();

    // Transport codes of a received message or of the chosen destination.
    static constexpr int32_t KV_TRANSPORT_UDP = 0;
    static constexpr int32_t KV_TRANSPORT_TCP = 1;
    static constexpr int32_t KV_TRANSPORT_OTHER = 2;

    KvSipMessage();
    KvSipMessage(const KvSipMessage& other);
    KvSipMessage& operator=(const KvSipMessage&) = delete;
    ~KvSipMessage() override;

    virtual bool isRequest() const = 0;
    virtual bool isValid() const;
    // Reads the rest of a message whose first token has been read.
    virtual void parse(const char* methodToken, KvInputStream& stream);
    virtual void parseStartLine(KvInputStream& stream) = 0;
    virtual void serializeStartLine(KvOutputStream& stream) const = 0;
    // The mandatory-header check; sets KV_INVALID on the first failure, never lowers the state.
    virtual void validate();

    bool isResponse() const { return !isRequest(); }

    // Header storage. A header goes behind the others of its id, or before them with atFront;
    // its comma-list siblings come with it. Only a free header is added, one that stands behind
    // no other header and heads no message's chain; any other throws "Adding a header twice!"
    // and the message stays as it was.
    void addHeader(KvHandle<KvSipHeader> header, bool atFront = false);
    // With lock false the message's lock is not taken: only for a message that no other thread
    // can reach meanwhile, since a caller cannot hold that lock itself.
    KvHandle<KvSipHeader> getHeader(KvSipHeaderId id, bool lock = true) const;
    KvHandle<KvSipHeader> getHeader(const char* name) const { return findHeader(name); }
    KvHandle<KvSipHeader> findHeader(const char* name) const;
    // lock false: as for getHeader.
    KvSipHeaderId findIdByName(const char* name, bool lock = true) const;
    bool removeHeader(const char* name);
    // The ids whose chains are not empty, in the order they are written.
    std::vector<KvSipHeaderId> getHeaderOrder() const;

    KvHandle<KvSipViaHeader> getViaHeader() const;
    KvHandle<KvSipFromHeader> getFromHeader() const;
    KvHandle<KvSipToHeader> getToHeader() const;
    KvHandle<KvSipCSeqHeader> getCSeqHeader() const;
    KvHandle<KvSipCallIdHeader> getCallIdHeader() const;
    KvHandle<KvSipContentLengthHeader> getContentLengthHeader() const;
    KvHandle<KvSipContactHeader> getContactHeader() const;
    KvHandle<KvSipContentTypeHeader> getContentTypeHeader() const;

    bool isOptionSupported(const char* tag) const;
    bool isOptionRequired(const char* tag) const;

    // Body. The block keeps its own byte count, which bounds every read of it whatever the
    // Content-Length header says later.
    const char* getBody() const { return m_body; }
    uint32_t getBodyLength() const { return readLocked(m_bodyLength); }
    uint32_t getContentLength() const;
    KvString getContentType() const;
    // Sets Content-Length, the body and Content-Type (the whole value: type, subtype and the
    // parameters that contentType carries); checks its arguments before it changes anything.
    void setBody(const char* body, const char* contentType, uint32_t length);

    // Read and set under the lock, as another thread may stamp them meanwhile.
    KvInetAddress getPeerAddress() const { return readLocked(m_peerAddress); }
    void setPeerAddress(const KvInetAddress& address);
    int32_t getPeerPort() const { return readLocked(m_peerPort); }
    void setPeerPort(int32_t port);
    int32_t getTransport() const { return readLocked(m_transport); }
    void setTransport(int32_t transport);

    // Read under the lock: validate() changes it under the lock.
    int32_t getParseState() const { return readLocked(m_parseState); }
    uint8_t getMajorVersion() const { return m_majorVersion; }
    uint8_t getMinorVersion() const { return m_minorVersion; }

    // Writes the whole message and flushes the stream.
    void serialize(KvOutputStream& stream) const;
    // To and From addresses, From tag, top Via sent-by and branch, Call-ID and CSeq number.
    KvString createTransactionKey() const;

    static void registerMessage(const char* token, Creator creator);
    // Parses one message. Only a missing or over-long first token throws; any later damage is
    // logged and kept in the parse state.
    static KvHandle<KvSipMessage> sConstructFrom(KvInputStream& stream);

    static constexpr uint32_t TOKEN_BUFFER_SIZE = 32;
    static constexpr uint32_t LINE_BUFFER_SIZE = 1024;

protected:
    // For the parser and constructors, which fill a message no other thread sees yet.
    void addHeaderUnlocked(KvHandle<KvSipHeader> header, bool atFront = false);
    bool removeHeaderUnlocked(const char* name);
    // Records the first damage only: a state that is not KV_VALID stays.
    void setDamage(int32_t state) {
        if (m_parseState == KV_VALID)
            m_parseState = state;
    }
    // What validate() finds wrong overrides any earlier damage.
    void markInvalid() { m_parseState = KV_INVALID; }
    // The mandatory-header check of validate(), under the message's lock: false, and the message
    // marked invalid, when it fails.
    bool checkHeaders();
    void setVersion(uint8_t major, uint8_t minor) {
        m_majorVersion = major;
        m_minorVersion = minor;
    }
    void setBodyUnlocked(const char* body, const char* contentType, uint32_t length);
    // The body rule: Content-Length bytes, or the rest of the stream when there is none.
    void readBody(KvInputStream& stream);
    void replaceBody(char* block, uint32_t length);
    void copyPeer(const KvSipMessage& other);
    // Clones of the headers of source's chain of id, linked in its order and read under its lock;
    // null when the chain is empty.
    static KvHandle<KvSipHeader> cloneChain(const KvSipMessage& source, KvSipHeaderId id);

    // A field that setters change under the lock, read under it.
    template <class T> T readLocked(const T& field) const {
        KvLockGuard guard(m_lock);
        return field;
    }

    KvMutex* m_lock; // m_lockStorage: the message costs no allocation for its lock

private:
    friend class KvSipHeader; // relinks by hand under the message lock and keeps the chain ends

    void readHeaders(KvInputStream& stream);
    void writeLocked(KvSipGatheringStream& stream) const;
    void addFreshHeader(KvHandle<KvSipHeader>&& header, KvSipHeaderId id);
    void relinked(const KvSipHeader* at, const KvSipHeader* cutEnd, KvSipHeader* newEnd);
    bool isAnyHeaderHeldElsewhere() const;
    static KvHandle<KvSipHeader> cloneRun(const KvSipHeader* first);
    void appendOrder(KvSipHeaderId id);
    void removeOrder(KvSipHeaderId id);
    KvSipHeaderId findIdByNameUnlocked(const char* name) const;
    KvHandle<KvSipHeader> findHeaderUnlocked(const char* name) const;
    bool hasOptionTag(KvSipHeaderId id, const char* tag) const;

    uint8_t m_headerOrder[KV_HEADER_ID_COUNT];
    uint32_t m_headerOrderCount;
    KvHandle<KvSipHeader> m_headers[KV_HEADER_ID_COUNT];
    // The last header of each chain when known, so that adding costs the same however long the
    // chain; null when not known, and the next add then walks the chain from its head.
    KvSipHeader* m_chainEnds[KV_HEADER_ID_COUNT] = {};
    char* m_body;
    uint32_t m_bodyLength;
    uint8_t m_majorVersion;
    uint8_t m_minorVersion;
    KvInetAddress m_peerAddress;
    int32_t m_peerPort;
    int32_t m_transport;
    int32_t m_parseState;
    KvMutex m_lockStorage;
};

// Enters a message class under its first token; each class's .h declares one as an inline
// variable, so linking the parser links every class.
struct KvSipMessageRegistrar {
    KvSipMessageRegistrar(const char* token, KvSipMessage::Creator creator) {
        KvSipMessage::registerMessage(token, creator);
    }
};
