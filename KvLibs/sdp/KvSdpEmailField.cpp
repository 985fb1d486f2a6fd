#include "KvSdpEmailField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <string>

namespace {
const char* const kIncomplete = "KvSdpEmailField::serialize() Incomplete Email Field";
}

KvSdpEmailField::KvSdpEmailField() : KvSdpField("e"), m_form(kBare) {}

KvSdpEmailField::KvSdpEmailField(const char* text) : KvSdpEmailField() {
    parseText(text);
}

KvSdpEmailField::KvSdpEmailField(const char* address, const char* displayName)
    : KvSdpField("e"), m_address(address), m_displayName(displayName), m_form(kBare) {
    if (m_address.isEmpty())
        KvSdpParseError::sThrow("Attempting to create Email Field with blank E-mail ID");
}

KvSdpEmailField::~KvSdpEmailField() = default;

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
    m_address = address.c_str();
    m_displayName = displayName.c_str();
    m_form = form;
}

void KvSdpEmailField::serialize(KvOutputStream& stream) const {
    if (m_address.isEmpty())
        KvException::sThrow(kIncomplete);
    if (!KvSdpReader::writeContact(stream, "e=", m_form, m_address, m_displayName))
        KvException::sThrow("Unknown error in KvSdpEmailField::serialize()");
    stream << "\r\n";
}
