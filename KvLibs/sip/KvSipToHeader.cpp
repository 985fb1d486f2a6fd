#include "KvSipToHeader.h"

#include "KvSipHeaderTextStream.h"

#include <cstring>

namespace {
const char* const kInvalid = "Invalid To header";
}

KvSipToHeader::KvSipToHeader() : KvSipAddressHeader(sToken(), nullptr, nullptr) {
    setId(KV_HEADER_TO);
    ensureNameAddress();
    ensureParameters();
}

KvSipToHeader::KvSipToHeader(KvHandle<KvSipNameAddress> nameAddress,
                             KvHandle<KvParameters> parameters)
    : KvSipAddressHeader(sToken(), nameAddress, parameters) {
    setId(KV_HEADER_TO);
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

KvSipToHeader::KvSipToHeader(const char* text) : KvSipToHeader() {
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    doParse(stream);
}

KvSipToHeader::KvSipToHeader(const KvSipToHeader& other) : KvSipAddressHeader(other) {
    setId(KV_HEADER_TO);
    ensureNameAddress();
    ensureParameters();
    checkAddress(kInvalid);
}

KvSipToHeader::~KvSipToHeader() = default;

KvObject* KvSipToHeader::clone() const {
    return new KvSipToHeader(*this);
}

const KvString& KvSipToHeader::sToken() {
    static const KvString token("To");
    return token;
}

const KvString& KvSipToHeader::sCompactToken() {
    static const KvString token("t");
    return token;
}

KvSipHeader* KvSipToHeader::sCreate() {
    return new KvSipToHeader();
}

void KvSipToHeader::doParse(KvInputStream& stream) {
    parseAddressAndParameters(stream);
    checkAddress(kInvalid);
}
