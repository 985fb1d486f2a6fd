#include "KvSdpParseError.h"

KvSdpParseError::KvSdpParseError(const char* message) : KvException(message) {}

KvSdpParseError::~KvSdpParseError() = default;

void KvSdpParseError::sThrow(const char* message) {
    KvException::sThrowHandle(new KvSdpParseError(message));
}
