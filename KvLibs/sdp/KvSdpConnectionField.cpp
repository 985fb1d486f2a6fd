#include "KvSdpConnectionField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <string>

KvSdpConnectionField::KvSdpConnectionField() : KvSdpField("c") {}

KvSdpConnectionField::KvSdpConnectionField(const char* text) : KvSdpConnectionField() {
    parseText(text);
}

KvSdpConnectionField::KvSdpConnectionField(const char* networkType, const char* addressType,
                                           const char* address)
    : KvSdpField("c"), m_networkType(networkType), m_addressType(addressType), m_address(address) {
    if (m_networkType.isEmpty())
        KvSdpParseError::sThrow("Error creating Connection field with blank Network Type");
    if (m_addressType.isEmpty())
        KvSdpParseError::sThrow("Error creating Connection field with blank Address Type");
    if (m_address.isEmpty())
        KvSdpParseError::sThrow("Error creating Connection field with blank Address");
    for (const char* text : {networkType, addressType, address})
        KvSdpReader::refuseLineEnd(text,
                                   "Attempting to create KvSdpConnectionField with a line break");
}

KvSdpConnectionField::~KvSdpConnectionField() = default;

void KvSdpConnectionField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpConnectionField::parse() Incomplete Connection Field");
    KvSdpLine buffer;
    KvSdpReader::readRestOfLine(stream, buffer);
    std::string_view line = buffer.view();
    size_t first = line.find(' ');
    if (first == std::string_view::npos)
        KvException::sThrow("KvSdpConnectionField::parse() Incomplete AddressType Field");
    size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos || second + 1 >= line.size())
        KvException::sThrow("KvSdpConnectionField::parse() Incomplete Address Field");
    KvSdpReader::assign(m_networkType, line.substr(0, first));
    KvSdpReader::assign(m_addressType, line.substr(first + 1, second - first - 1));
    KvSdpReader::assign(m_address, line.substr(second + 1));
}

void KvSdpConnectionField::serialize(KvOutputStream& stream) const {
    if (m_networkType.isEmpty() || m_addressType.isEmpty() || m_address.isEmpty())
        KvException::sThrow("KvSdpConnectionField::serialize() Incomplete Connection Field");
    KvSdpLineWriter line(stream);
    line << "c=" << m_networkType << " " << m_addressType << " " << m_address << "\r\n";
    line.flush();
}
