// The value of the address headers: an optional display name and a URI, bare or in "<" ">".
#pragma once

#include "KvObject.h"
#include "KvStringBuffer.h"
#include "KvURI.h"

#include <cstdint>

class KvInputStream;
class KvOutputStream;
class KvSipURL;

class KvSipNameAddress : public KvObject {
public:
    // A generic empty URI; parameters behind a bare URI are left for the header.
    KvSipNameAddress();
    // Parses the text; parameters behind a bare URI belong to the URI.
    explicit KvSipNameAddress(const char* text);
    // Keeps a clone of uri; brackets are written when there is a display name.
    KvSipNameAddress(const char* displayName, const KvHandle<KvURI>& uri);
    KvSipNameAddress(const KvSipNameAddress& other);
    KvSipNameAddress& operator=(const KvSipNameAddress&) = delete;
    ~KvSipNameAddress() override;

    KvObject* clone() const override;

    void parse(KvInputStream& stream);
    void parse(const char* text);

    KvHandle<KvURI> getURI() const { return m_uri; }
    // The URI without a handle of its own: valid while this name-address keeps it.
    KvURI* peekURI() const { return m_uri.get(); }
    // The URI as a sip URL, or null when it is another kind.
    KvHandle<KvSipURL> getSipURL() const;
    KvString getURIString() const;
    // As read, quotes and backslashes included; empty when absent.
    KvString getDisplayName() const { return m_displayName; }
    bool hasBrackets() const { return m_brackets; }
    void setBrackets(bool brackets) { m_brackets = brackets; }

    // Writes the display name and the URI, between "<" and ">" whenever a peer could otherwise
    // misread the URI's own parameters as the header's.
    void write(KvOutputStream& stream) const;

    static constexpr uint32_t BUFFER_SIZE = 1024;

private:
    KvString m_displayName;
    KvHandle<KvURI> m_uri;
    bool m_brackets;
    bool m_ownParameters;
};

KvInputStream& operator>>(KvInputStream& stream, KvHandle<KvSipNameAddress>& nameAddress);
KvOutputStream& operator<<(KvOutputStream& stream, const KvHandle<KvSipNameAddress>& nameAddress);
