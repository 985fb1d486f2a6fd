// A SIP request: its method and request-URI on top of the message. Each known method has a class
// of its own (KvSip*Message); KvSipUnknownRequest holds any other.
#pragma once

#include "KvSipMessage.h"
#include "KvURI.h"

#include <cstdint>

class KvSipContactHeader;
class KvSipFromHeader;
class KvSipNameAddress;
class KvSipToHeader;
class KvSipURL;

class KvSipRequest : public KvSipMessage {
public:
    // An empty request of the method, ready for parse; throws when the method is null or empty.
    explicit KvSipRequest(const KvString& method);
    explicit KvSipRequest(const char* method);
    // The request-URI is the URI of to's address, without its URL headers.
    KvSipRequest(const KvString& method, KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                 KvHandle<KvSipContactHeader> contact, const char* callId, uint32_t cseq,
                 const char* contentType, const char* body, uint32_t bodyLength);
    // The request-URI is requestUri's URI object itself; its URL headers move into the message.
    KvSipRequest(const KvString& method, KvHandle<KvSipNameAddress> requestUri,
                 KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                 KvHandle<KvSipContactHeader> contact, const char* callId, uint32_t cseq,
                 const char* contentType, const char* body, uint32_t bodyLength);
    KvSipRequest(const KvSipRequest& other);
    ~KvSipRequest() override;

    bool isRequest() const override { return true; }
    // Also requires a CSeq whose method equals ours exactly.
    bool isValid() const override;
    void parse(const char* methodToken, KvInputStream& stream) override;
    void validate() override;
    void parseStartLine(KvInputStream& stream) override;
    void serializeStartLine(KvOutputStream& stream) const override;

    const KvString& getMethod() const { return m_method; }
    KvHandle<KvURI> getRequestURI() const;
    // The request-URI as a sip URL, or null when it is another kind.
    KvHandle<KvSipURL> getSipURL() const;
    // Stores a clone of uri with "<" and ">" removed from its scheme and body texts.
    void setRequestURI(KvHandle<KvURI> uri);

protected:
    // For KvSipUnknownRequest: no method and no request-URI until parsed.
    KvSipRequest();

    void setRequestURIUnlocked(const KvHandle<KvURI>& uri);
    // As setRequestURI, for a request-URI taken from an address (a To, a Contact, another
    // request's request-URI): the stored clone is left without URL headers.
    void setRequestURIOf(const KvHandle<KvURI>& address);
    // Moves the request-URI's URL headers into the message and empties its header list.
    // fromCaller: the URI came from a caller, not from the wire.
    void moveURLHeaders(bool fromCaller);
    // For a request built from another message: a clear failure instead of a null dereference,
    // "Can't build <method>: the <source> has no <part>", when a part it needs is missing.
    void requirePart(bool present, const char* source, const char* part) const;
    // For a request built from a message of the same call (ACK, BYE, CANCEL): requires source's
    // From, To, Call-ID and CSeq, then adds copies of From and To, a Call-ID of the same text and
    // a CSeq of source's number plus cseqStep with this request's method, in that order.
    void addCallHeaders(const KvSipMessage& source, const char* sourceName, uint32_t cseqStep);
    // The request-URI of a request within source's call: source's Contact address when toContact
    // and source has a Contact, else its To address, whatever the URI's scheme, without URL
    // headers. A wildcard Contact, or an address with no scheme, gives no request line: refused
    // with a text that names it.
    void setPeerURI(const KvSipMessage& source, const char* sourceName, bool toContact);

private:
    void buildFromValues(KvHandle<KvSipFromHeader>& from, KvHandle<KvSipToHeader>& to,
                         KvHandle<KvSipContactHeader>& contact, const char* callId, uint32_t cseq,
                         const char* contentType, const char* body, uint32_t bodyLength);
    // The method when it is neither empty (error) nor holds a line break.
    static KvString sCheckedMethod(const KvString& method, const char* error,
                                   const KvObject& owner);

    KvString m_method;
    // A request made from its method alone is mostly parsed at once, which replaces the empty
    // request-URI: that one is made when first asked for, under the message's lock.
    mutable KvHandle<KvURI> m_requestURI;
    mutable bool m_requestURIPending = false;
};
