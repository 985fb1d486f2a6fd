#include "KvSipFromHeader.h"

namespace {
const char* const kInvalid = "Invalid From header";
}

KvSipFromHeader::KvSipFromHeader() : KvSipAddressHeader(sToken(), nullptr, nullptr) {
    setId(KV_HEADER_FROM);
    ensureNameAddress();
    ensureParameters();
}

KvSipFromHeader::KvSipFromHeader(KvHandle<KvSipNameAddress> nameAddress,
                                 KvHandle<KvParameters> parameters)
    : KvSipAddressHeader(sToken(), nameAddress, parameters) {
    setId(KV_HEADER_FROM);
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

KvSipFromHeader::KvSipFromHeader(const KvSipFromHeader& other) : KvSipAddressHeader(other) {
    setId(KV_HEADER_FROM);
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

KvSipFromHeader::~KvSipFromHeader() = default;

KvObject* KvSipFromHeader::clone() const {
    return new KvSipFromHeader(*this);
}

const KvString& KvSipFromHeader::sToken() {
    static const KvString token("From");
    return token;
}

const KvString& KvSipFromHeader::sCompactToken() {
    static const KvString token("f");
    return token;
}

KvSipHeader* KvSipFromHeader::sCreate() {
    return new KvSipFromHeader();
}

void KvSipFromHeader::doParse(KvInputStream& stream) {
    parseAddressAndParameters(stream);
    checkAddress(kInvalid);
}
