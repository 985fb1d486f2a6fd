// What the e= and p= lines share: an address (the e-mail id or the phone number), a display name
// and the form in which the line carries them. Each class reads its own grammar and names its own
// failures.
#pragma once

#include "KvSdpField.h"

#include <cstdint>
#include <string>

class KvSdpContactField : public KvSdpField {
public:
    const char* getAddress() const { return m_address.c_str(); }
    void setAddress(const char* address) { setChecked(m_address, address); }
    const char* getDisplayName() const { return m_displayName.c_str(); }
    void setDisplayName(const char* displayName) { setChecked(m_displayName, displayName); }
    int32_t getForm() const { return m_form; }
    void setForm(int32_t form) { m_form = form; }

protected:
    // Form 0, empty texts.
    explicit KvSdpContactField(const char* type) : KvSdpField(type), m_form(0) {}
    // Form 0 (the display name is kept but not written); an empty address throws KvSdpParseError
    // with blankText, a line break in either text with lineBreakText.
    KvSdpContactField(const char* type, const char* address, const char* displayName,
                      const char* blankText, const char* lineBreakText);

    void store(const std::string& address, const std::string& displayName, int32_t form);
    // The line in the field's form; a missing address throws incompleteText, an unknown form
    // unknownText, both as KvException.
    void serializeContact(KvOutputStream& stream, const char* incompleteText,
                          const char* unknownText) const;

private:
    KvString m_address;
    KvString m_displayName;
    int32_t m_form;
};
