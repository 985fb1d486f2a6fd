// The value of the address headers: an optional display name and a URI, bare or in "<" ">".
#pragma once

#include "KvConstString.h"
#include "KvObject.h"
#include "KvStringBuffer.h"
#include "KvURI.h"

#include <atomic>
#include <cstdint>

class KvInputCursor;
class KvInputStream;
class KvOutputStream;
class KvSipURL;

class KvSipNameAddress : public KvObject {
public:
    // A generic empty URI; parameters behind a bare URI are left for the header.
    KvSipNameAddress();
    // Parses the text; parameters behind a bare URI belong to the URI.
    explicit KvSipNameAddress(const char* text);
    // Keeps a clone of uri; brackets are written when there is a display name. A display name that
    // is neither a run of tokens and blanks nor one quoted string is kept quoted, its '"' and '\'
    // escaped, so that it is read back as a name.
    KvSipNameAddress(const char* displayName, const KvHandle<KvURI>& uri);
    KvSipNameAddress(const KvSipNameAddress& other);
    KvSipNameAddress& operator=(const KvSipNameAddress&) = delete;
    ~KvSipNameAddress() override;

    KvObject* clone() const override;

    void parse(KvInputStream& stream);
    // The same through the cursor of a parser that reads stream: the cursor goes on behind the
    // name-address.
    void parse(KvInputCursor& cursor, KvInputStream& stream);
    void parse(const char* text);

    KvHandle<KvURI> getURI() const { return KvHandle<KvURI>(uri()); }
    // The URI without a handle of its own: valid while this name-address keeps it.
    KvURI* peekURI() const { return uri(); }
    // The URI as a sip URL, or null when it is another kind.
    KvHandle<KvSipURL> getSipURL() const;
    KvString getURIString() const;
    // As read, quotes and backslashes included; empty when absent.
    KvString getDisplayName() const;
    bool hasBrackets() const { return m_brackets; }
    void setBrackets(bool brackets) { m_brackets = brackets; }

    // Writes the display name and the URI, between "<" and ">" whenever a peer could otherwise
    // misread the URI's own parameters as the header's.
    void write(KvOutputStream& stream) const;

    static constexpr uint32_t BUFFER_SIZE = 1024;

private:
    // A name-address made empty is mostly parsed at once, which replaces its URI: the empty URI is
    // made when first asked for, by whichever thread asks first.
    KvURI* uri() const {
        if (KvURI* made = m_uri.getShared())
            return made;
        return m_uriPending.load(std::memory_order_acquire) ? makeEmptyURI() : nullptr;
    }
    KvURI* makeEmptyURI() const;

    // Uncounted: most display names are only written back.
    KvConstString m_displayName;
    KvHandle<KvURI> m_uri;
    std::atomic<bool> m_uriPending{false};
    bool m_brackets;
    bool m_ownParameters;
};

KvInputStream& operator>>(KvInputStream& stream, KvHandle<KvSipNameAddress>& nameAddress);
KvOutputStream& operator<<(KvOutputStream& stream, const KvHandle<KvSipNameAddress>& nameAddress);
