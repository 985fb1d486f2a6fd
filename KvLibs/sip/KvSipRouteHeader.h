// The Route header: one address of the route a request takes. Parameters behind the address are
// not kept.
#pragma once

#include "KvSipAddressHeader.h"

class KvSipRouteHeader : public KvSipAddressHeader {
public:
    KvSipRouteHeader();
    // Keeps a clone; a null handle stays null and writes an empty value.
    explicit KvSipRouteHeader(KvHandle<KvSipNameAddress> nameAddress);
    // Parses the header value text.
    explicit KvSipRouteHeader(const char* text);
    KvSipRouteHeader(const KvSipRouteHeader& other);
    ~KvSipRouteHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override { return sToken(); }
    void doParse(KvInputStream& stream) override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
};

inline const KvSipHeaderRegistrar kvSipRouteHeaderRegistrar("Route", nullptr,
                                                            &KvSipRouteHeader::sCreate);
