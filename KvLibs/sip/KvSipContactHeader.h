// The Contact header: an address with its parameters ("expires", "q", ...), or the wildcard "*".
#pragma once

#include "KvSipAddressHeader.h"

class KvSipURL;

class KvSipContactHeader : public KvSipAddressHeader {
public:
    KvSipContactHeader();
    // Keeps a clone; a null handle gives a new empty name-address.
    explicit KvSipContactHeader(KvHandle<KvSipNameAddress> nameAddress);
    // Parses the header value text.
    explicit KvSipContactHeader(const char* text);
    KvSipContactHeader(const KvSipContactHeader& other);
    ~KvSipContactHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override { return sToken(); }
    const KvString& getCompactToken() const override { return sCompactToken(); }
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
    static const KvString& sCompactToken();

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

inline const KvSipHeaderRegistrar kvSipContactHeaderRegistrar("Contact", "m",
                                                              &KvSipContactHeader::sCreate);
