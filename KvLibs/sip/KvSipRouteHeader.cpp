#include "KvSipRouteHeader.h"

#include "KvSipParseError.h"

#include "KvSipHeaderTextStream.h"

#include <cstring>

KvSipRouteHeader::KvSipRouteHeader() : KvSipHeaderClass(nullptr, nullptr) {}

KvSipRouteHeader::KvSipRouteHeader(KvHandle<KvSipNameAddress> nameAddress)
    : KvSipHeaderClass(nameAddress, nullptr) {}

KvSipRouteHeader::KvSipRouteHeader(const char* text) : KvSipRouteHeader() {
    KvSipParseError::refuseInnerLineEnd(text, *this);
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    doParse(stream);
}

void KvSipRouteHeader::doParse(KvInputStream& stream) {
    parseNameAddress(stream, "Invalid Name-Address in KvSipRouteHeader");
}
