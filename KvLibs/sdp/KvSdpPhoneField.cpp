#include "KvSdpPhoneField.h"

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

KvSdpPhoneField::KvSdpPhoneField() : KvSdpContactField("p") {}

KvSdpPhoneField::KvSdpPhoneField(const char* text) : KvSdpPhoneField() {
    parseText(text);
}

KvSdpPhoneField::KvSdpPhoneField(const char* number, const char* displayName)
    : KvSdpContactField("p", number, displayName,
                        "Attempting to create Phone Field with blank phone number",
                        "Attempting to create KvSdpPhoneField with a line break") {}

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
    store(number, displayName, form);
}

void KvSdpPhoneField::serialize(KvOutputStream& stream) const {
    serializeContact(stream, "KvSdpPhoneField::serialize() Incomplete Phone Field",
                     "Unknown error in KvSdpPhoneField::serialize()");
}
