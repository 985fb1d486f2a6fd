// The From header: the sender's address and its parameters (the "tag" among them).
#pragma once

#include "KvSipAddressHeader.h"

class KvSipFromHeader : public KvSipAddressHeader {
public:
    KvSipFromHeader();
    // Keeps clones; a null handle gives a new empty object.
    KvSipFromHeader(KvHandle<KvSipNameAddress> nameAddress, KvHandle<KvParameters> parameters);
    KvSipFromHeader(const KvSipFromHeader& other);
    ~KvSipFromHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override { return sToken(); }
    const KvString& getCompactToken() const override { return sCompactToken(); }
    void doParse(KvInputStream& stream) override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
    static const KvString& sCompactToken();

    // The "tag" parameter, empty when absent.
    KvString getTag() const { return getTagParameter(); }
    // A non-empty tag replaces the old one and puts the URI between "<" and ">".
    void setTag(const char* tag) { setTagParameter(tag); }
};

inline const KvSipHeaderRegistrar kvSipFromHeaderRegistrar("From", "f", &KvSipFromHeader::sCreate);
