#include "KvSipRecordRouteHeader.h"

KvSipRecordRouteHeader::KvSipRecordRouteHeader() : KvSipAddressHeader(sToken(), nullptr, nullptr) {
    setId(KV_HEADER_RECORD_ROUTE);
    ensureNameAddress();
}

KvSipRecordRouteHeader::KvSipRecordRouteHeader(const KvSipRecordRouteHeader& other)
    : KvSipAddressHeader(other) {
    setId(KV_HEADER_RECORD_ROUTE);
    ensureNameAddress();
}

KvSipRecordRouteHeader::~KvSipRecordRouteHeader() = default;

KvObject* KvSipRecordRouteHeader::clone() const {
    return new KvSipRecordRouteHeader(*this);
}

const KvString& KvSipRecordRouteHeader::sToken() {
    static const KvString token("Record-Route");
    return token;
}

KvSipHeader* KvSipRecordRouteHeader::sCreate() {
    return new KvSipRecordRouteHeader();
}

void KvSipRecordRouteHeader::doParse(KvInputStream& stream) {
    parseNameAddress(stream, "Invalid Name-Address in KvSipRecordRouteHeader");
}
