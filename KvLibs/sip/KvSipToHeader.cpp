#include "KvSipToHeader.h"

#include "KvSipHeaderTextStream.h"

#include <cstring>

namespace {
const char* const kInvalid = "Invalid To header";
}

KvSipToHeader::KvSipToHeader() : KvSipHeaderClass(nullptr, nullptr) {
    ensureNameAddress();
    ensureParameters();
}

KvSipToHeader::KvSipToHeader(KvHandle<KvSipNameAddress> nameAddress,
                             KvHandle<KvParameters> parameters)
    : KvSipHeaderClass(nameAddress, parameters) {
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

KvSipToHeader::KvSipToHeader(const char* text) : KvSipToHeader() {
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    doParse(stream);
}

KvSipToHeader::KvSipToHeader(const KvSipToHeader& other) : KvSipHeaderClass(other) {
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

void KvSipToHeader::doParse(KvInputStream& stream) {
    parseAddressAndParameters(stream);
    checkAddress(kInvalid);
}
