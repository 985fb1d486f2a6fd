// The To header: the addressee's address and its parameters (the "tag" among them).
#pragma once

#include "KvSipAddressHeader.h"
#include "KvSipHeaderClass.h"

class KvSipToHeader : public KvSipHeaderClass<KvSipToHeader, KvSipTaggedAddressHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"To", "t", KV_HEADER_TO};

    KvSipToHeader();
    // Keeps clones; a null handle gives a new empty object.
    KvSipToHeader(KvHandle<KvSipNameAddress> nameAddress, KvHandle<KvParameters> parameters);
    // Parses the header value text.
    explicit KvSipToHeader(const char* text);
};

inline const KvSipHeaderClassRegistrar<KvSipToHeader> kvSipToHeaderRegistrar;
