#include "KvSipToHeader.h"

#include "KvSipParseError.h"

#include "KvSipHeaderTextStream.h"

#include <cstring>

namespace {
const char* const kInvalid = "Invalid To header";
}

KvSipToHeader::KvSipToHeader() : KvSipHeaderClass(kInvalid) {}

KvSipToHeader::KvSipToHeader(KvHandle<KvSipNameAddress> nameAddress,
                             KvHandle<KvParameters> parameters)
    : KvSipHeaderClass(kInvalid, nameAddress, parameters) {}

KvSipToHeader::KvSipToHeader(const char* text) : KvSipToHeader() {
    KvSipParseError::refuseInnerLineEnd(text, *this);
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    doParse(stream);
}
