#include "KvSdpPhoneField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <string>

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "+" first, then digits, each space or "-" followed by a digit.
bool isValidNumber(const std::string& number) {
    if (number.size() < 2)
        return true;
    if (number[0] != '+')
        return false;
    for (size_t i = 1; i < number.size(); ++i) {
        char c = number[i];
        if (c == ' ' || c == '-') {
            if (i + 1 >= number.size() || !isDigit(number[i + 1]))
                return false;
        } else if (!isDigit(c)) {
            return false;
        }
    }
    return true;
}
} // namespace

KvSdpPhoneField::KvSdpPhoneField() : KvSdpField("p"), m_form(kBare) {}

KvSdpPhoneField::KvSdpPhoneField(const char* text) : KvSdpPhoneField() {
    parseText(text);
}

KvSdpPhoneField::KvSdpPhoneField(const char* number, const char* displayName)
    : KvSdpField("p"), m_address(number), m_displayName(displayName), m_form(kBare) {
    if (m_address.isEmpty())
        KvSdpParseError::sThrow("Attempting to create Phone Field with blank phone number");
}

KvSdpPhoneField::~KvSdpPhoneField() = default;

void KvSdpPhoneField::parse(KvInputStream& stream) {
    // An empty p= line reads as an empty number (refused below), never as the next line.
    KvSdpLine line;
    KvSdpReader::readRestOfLine(stream, line);
    std::string number;
    std::string displayName;
    int32_t form = KvSdpReader::splitContact(line.view(), number, displayName);
    if (!isValidNumber(number))
        KvSdpParseError::sThrow("Invalid character in Phone Number - KvSdpPhoneField::parse()");
    if (number.empty())
        KvSdpParseError::sThrow("Parsing Error(blank PhoneNumber) in KvSdpPhoneField::parse()");
    m_address = number.c_str();
    m_displayName = displayName.c_str();
    m_form = form;
}

void KvSdpPhoneField::serialize(KvOutputStream& stream) const {
    if (m_address.isEmpty())
        KvException::sThrow("KvSdpPhoneField::serialize() Incomplete Phone Field");
    if (!KvSdpReader::writeContact(stream, "p=", m_form, m_address, m_displayName))
        KvException::sThrow("Unknown error in KvSdpPhoneField::serialize()");
    stream << "\r\n";
}
