// The Record-Route header: one address that a proxy put on the route of a dialog. Parameters
// behind the address are not kept.
#pragma once

#include "KvSipAddressHeader.h"
#include "KvSipHeaderClass.h"

class KvSipRecordRouteHeader : public KvSipHeaderClass<KvSipRecordRouteHeader, KvSipAddressHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Record-Route", nullptr, KV_HEADER_RECORD_ROUTE};

    KvSipRecordRouteHeader();
    KvSipRecordRouteHeader(const KvSipRecordRouteHeader& other);

    void doParse(KvInputStream& stream) override;
};

inline const KvSipHeaderClassRegistrar<KvSipRecordRouteHeader> kvSipRecordRouteHeaderRegistrar;
