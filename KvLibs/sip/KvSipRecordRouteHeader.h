// The Record-Route header: one address that a proxy put on the route of a dialog. Parameters
// behind the address are not kept.
#pragma once

#include "KvSipAddressHeader.h"

class KvSipRecordRouteHeader : public KvSipAddressHeader {
public:
    KvSipRecordRouteHeader();
    KvSipRecordRouteHeader(const KvSipRecordRouteHeader& other);
    ~KvSipRecordRouteHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override { return sToken(); }
    void doParse(KvInputStream& stream) override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
};

inline const KvSipHeaderRegistrar kvSipRecordRouteHeaderRegistrar("Record-Route", nullptr,
                                                                  &KvSipRecordRouteHeader::sCreate);
