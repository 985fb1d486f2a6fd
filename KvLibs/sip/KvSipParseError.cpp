#include "KvSipParseError.h"

KvSipParseError::KvSipParseError(const char* message) : KvException(message) {}

KvSipParseError::~KvSipParseError() = default;

void KvSipParseError::raise(const char* message) {
    KvException::sThrowHandle(new KvSipParseError(message));
}
