#include "KvSdpEmailField.h"

#include "KvException.h"
#include "KvSdpReader.h"

#include <string>

namespace {
const char* const kIncomplete = "KvSdpEmailField::serialize() Incomplete Email Field";
}

KvSdpEmailField::KvSdpEmailField() : KvSdpContactField("e") {}

KvSdpEmailField::KvSdpEmailField(const char* text) : KvSdpEmailField() {
    parseText(text);
}

KvSdpEmailField::KvSdpEmailField(const char* address, const char* displayName)
    : KvSdpContactField("e", address, displayName,
                        "Attempting to create Email Field with blank E-mail ID",
                        "Attempting to create KvSdpEmailField with a line break") {}

void KvSdpEmailField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvString line = KvSdpReader::readRestOfLine(stream);
    line.trim();
    std::string address;
    std::string displayName;
    int32_t form = KvSdpReader::splitContact(line.c_str(), address, displayName);
    if (address.empty())
        KvException::sThrow("Parsing Error(blank EmailId) in KvSdpEmailField::parse()");
    store(address, displayName, form);
}

void KvSdpEmailField::serialize(KvOutputStream& stream) const {
    serializeContact(stream, kIncomplete, "Unknown error in KvSdpEmailField::serialize()");
}
