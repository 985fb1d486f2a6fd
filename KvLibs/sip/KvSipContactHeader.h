// The Contact header: an address with its parameters ("expires", "q", ...), or the wildcard "*".
#pragma once

#include "KvSipAddressHeader.h"
#include "KvSipHeaderClass.h"

class KvSipURL;

class KvSipContactHeader : public KvSipHeaderClass<KvSipContactHeader, KvSipAddressHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Contact", "m", KV_HEADER_CONTACT};

    KvSipContactHeader();
    // Keeps a clone; a null handle gives a new empty name-address.
    explicit KvSipContactHeader(KvHandle<KvSipNameAddress> nameAddress);
    // Parses the header value text.
    explicit KvSipContactHeader(const char* text);
    KvSipContactHeader(const KvSipContactHeader& other);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    bool isWildcard() const { return m_wildcard; }
    // A header parameter's text, empty when absent.
    KvString getParameter(const char* name) const;
    // The address as a sip URL, null when it is another kind.
    KvHandle<KvSipURL> getSipURL() const;
    KvString getComment() const { return m_comment; }

private:
    bool m_wildcard;
    KvString m_comment;
};

inline const KvSipHeaderClassRegistrar<KvSipContactHeader> kvSipContactHeaderRegistrar;
