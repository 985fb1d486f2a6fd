#include "KvSipFromHeader.h"

namespace {
const char* const kInvalid = "Invalid From header";
}

KvSipFromHeader::KvSipFromHeader() : KvSipHeaderClass(kInvalid) {}

KvSipFromHeader::KvSipFromHeader(KvHandle<KvSipNameAddress> nameAddress,
                                 KvHandle<KvParameters> parameters)
    : KvSipHeaderClass(kInvalid, nameAddress, parameters) {}
