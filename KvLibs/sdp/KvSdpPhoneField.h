// The p= line: a phone number ("+" and digits, grouped by spaces or "-"), bare or with a name.
#pragma once

#include "KvSdpField.h"

#include <cstdint>

class KvSdpPhoneField : public KvSdpField {
public:
    // Forms of the line: the bare number, "name <number>", "number (name)".
    enum Form : int32_t { kBare = 0, kNameFirst = 1, kNumberFirst = 2 };

    KvSdpPhoneField();
    // Parses the text as the value part of a p= line when it is not null.
    explicit KvSdpPhoneField(const char* text);
    // Form 0 (the display name is kept but not written); an empty number throws KvSdpParseError.
    KvSdpPhoneField(const char* number, const char* displayName);
    ~KvSdpPhoneField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getAddress() const { return m_address.c_str(); }
    void setAddress(const char* address) { m_address = KvString(address); }
    const char* getDisplayName() const { return m_displayName.c_str(); }
    void setDisplayName(const char* displayName) { m_displayName = KvString(displayName); }
    int32_t getForm() const { return m_form; }
    void setForm(int32_t form) { m_form = form; }

private:
    KvString m_address;
    KvString m_displayName;
    int32_t m_form;
};

inline const KvSdpFieldRegistrar
    kvSdpPhoneFieldRegistrar("p", &KvSdpFieldRegistrar::sCreate<KvSdpPhoneField>);
