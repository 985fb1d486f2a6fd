// The From header: the sender's address and its parameters (the "tag" among them).
#pragma once

#include "KvSipAddressHeader.h"
#include "KvSipHeaderClass.h"

class KvSipFromHeader : public KvSipHeaderClass<KvSipFromHeader, KvSipAddressHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"From", "f", KV_HEADER_FROM};

    KvSipFromHeader();
    // Keeps clones; a null handle gives a new empty object.
    KvSipFromHeader(KvHandle<KvSipNameAddress> nameAddress, KvHandle<KvParameters> parameters);
    KvSipFromHeader(const KvSipFromHeader& other);

    void doParse(KvInputStream& stream) override;

    // The "tag" parameter, empty when absent.
    KvString getTag() const { return getTagParameter(); }
    // A non-empty tag replaces the old one and puts the URI between "<" and ">".
    void setTag(const char* tag) { setTagParameter(tag); }
};

inline const KvSipHeaderClassRegistrar<KvSipFromHeader> kvSipFromHeaderRegistrar;
