#include "KvSipRecordRouteHeader.h"

KvSipRecordRouteHeader::KvSipRecordRouteHeader() : KvSipHeaderClass(nullptr, nullptr) {
    ensureNameAddress();
}

KvSipRecordRouteHeader::KvSipRecordRouteHeader(const KvSipRecordRouteHeader& other)
    : KvSipHeaderClass(other) {
    ensureNameAddress();
}

void KvSipRecordRouteHeader::doParse(KvInputStream& stream) {
    parseNameAddress(stream, "Invalid Name-Address in KvSipRecordRouteHeader");
}
