// The From header: the sender's address and its parameters (the "tag" among them).
#pragma once

#include "KvSipAddressHeader.h"
#include "KvSipHeaderClass.h"

class KvSipFromHeader : public KvSipHeaderClass<KvSipFromHeader, KvSipTaggedAddressHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"From", "f", KV_HEADER_FROM};

    KvSipFromHeader();
    // Keeps clones; a null handle gives a new empty object.
    KvSipFromHeader(KvHandle<KvSipNameAddress> nameAddress, KvHandle<KvParameters> parameters);
};

inline const KvSipHeaderClassRegistrar<KvSipFromHeader> kvSipFromHeaderRegistrar;
