#include "KvSipRouteHeader.h"

#include "KvSipHeaderTextStream.h"

#include <cstring>

KvSipRouteHeader::KvSipRouteHeader() : KvSipAddressHeader(sToken(), nullptr, nullptr) {
    setId(KV_HEADER_ROUTE);
}

KvSipRouteHeader::KvSipRouteHeader(KvHandle<KvSipNameAddress> nameAddress)
    : KvSipAddressHeader(sToken(), nameAddress, nullptr) {
    setId(KV_HEADER_ROUTE);
}

KvSipRouteHeader::KvSipRouteHeader(const char* text) : KvSipRouteHeader() {
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    doParse(stream);
}

KvSipRouteHeader::KvSipRouteHeader(const KvSipRouteHeader& other) : KvSipAddressHeader(other) {
    setId(KV_HEADER_ROUTE);
}

KvSipRouteHeader::~KvSipRouteHeader() = default;

KvObject* KvSipRouteHeader::clone() const {
    return new KvSipRouteHeader(*this);
}

const KvString& KvSipRouteHeader::sToken() {
    static const KvString token("Route");
    return token;
}

KvSipHeader* KvSipRouteHeader::sCreate() {
    return new KvSipRouteHeader();
}

void KvSipRouteHeader::doParse(KvInputStream& stream) {
    parseNameAddress(stream, "Invalid Name-Address in KvSipRouteHeader");
}
