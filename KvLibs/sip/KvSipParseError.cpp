#include "KvSipParseError.h"

#include "KvLineText.h"

#include <string>

KvSipParseError::KvSipParseError(const char* message) : KvException(message) {}

KvSipParseError::~KvSipParseError() = default;

void KvSipParseError::raise(const char* message) {
    KvException::sThrowHandle(new KvSipParseError(message));
}

void KvSipParseError::refuseLineEnd(const char* text, const KvObject& owner) {
    if (KvLineText::holdsLineEnd(text))
        raiseLineEnd(owner);
}

void KvSipParseError::refuseLineEnd(const KvString& text, const KvObject& owner) {
    if (KvLineText::holdsLineEnd(std::string_view(text.data(), text.length())))
        raiseLineEnd(owner);
}

void KvSipParseError::refuseInnerLineEnd(const char* text, const KvObject& owner) {
    if (KvLineText::holdsInnerLineEnd(text))
        raiseLineEnd(owner);
}

void KvSipParseError::raiseLineEnd(const KvObject& owner) {
    raise(
        (std::string("Attempting to set ") + owner.getClassName() + " with a line break").c_str());
}
