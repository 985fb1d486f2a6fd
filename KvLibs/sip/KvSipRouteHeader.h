// The Route header: one address of the route a request takes. Parameters behind the address are
// not kept.
#pragma once

#include "KvSipAddressHeader.h"
#include "KvSipHeaderClass.h"

class KvSipRouteHeader : public KvSipHeaderClass<KvSipRouteHeader, KvSipAddressHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Route", nullptr, KV_HEADER_ROUTE};

    KvSipRouteHeader();
    // Keeps a clone; a null handle stays null and writes an empty value.
    explicit KvSipRouteHeader(KvHandle<KvSipNameAddress> nameAddress);
    // Parses the header value text.
    explicit KvSipRouteHeader(const char* text);

    void doParse(KvInputStream& stream) override;
};

inline const KvSipHeaderClassRegistrar<KvSipRouteHeader> kvSipRouteHeaderRegistrar;
