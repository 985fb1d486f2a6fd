#include "KvSipFromHeader.h"

namespace {
const char* const kInvalid = "Invalid From header";
}

KvSipFromHeader::KvSipFromHeader() : KvSipHeaderClass(nullptr, nullptr) {
    ensureNameAddress();
    ensureParameters();
}

KvSipFromHeader::KvSipFromHeader(KvHandle<KvSipNameAddress> nameAddress,
                                 KvHandle<KvParameters> parameters)
    : KvSipHeaderClass(nameAddress, parameters) {
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

KvSipFromHeader::KvSipFromHeader(const KvSipFromHeader& other) : KvSipHeaderClass(other) {
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

void KvSipFromHeader::doParse(KvInputStream& stream) {
    parseAddressAndParameters(stream);
    checkAddress(kInvalid);
}
