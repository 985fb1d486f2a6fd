#include "KvSdpContactField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

KvSdpContactField::KvSdpContactField(const char* type, const char* address, const char* displayName,
                                     const char* blankText, const char* lineBreakText)
    : KvSdpField(type), m_address(address), m_displayName(displayName), m_form(0) {
    if (m_address.isEmpty())
        KvSdpParseError::sThrow(blankText);
    KvSdpReader::refuseLineEnd(address, lineBreakText);
    KvSdpReader::refuseLineEnd(displayName, lineBreakText);
}

void KvSdpContactField::store(const std::string& address, const std::string& displayName,
                              int32_t form) {
    m_address = address.c_str();
    m_displayName = displayName.c_str();
    m_form = form;
}

void KvSdpContactField::serializeContact(KvOutputStream& stream, const char* incompleteText,
                                         const char* unknownText) const {
    if (m_address.isEmpty())
        KvException::sThrow(incompleteText);
    const char prefix[] = {m_type.c_str()[0], '=', '\0'};
    if (!KvSdpReader::writeContact(stream, prefix, m_form, m_address, m_displayName))
        KvException::sThrow(unknownText);
    stream << "\r\n";
}
