// The e= line: an e-mail address, bare or with a display name.
#pragma once

#include "KvSdpField.h"

#include <cstdint>

class KvSdpEmailField : public KvSdpField {
public:
    // Forms of the line: the bare address, "name <address>", "address (name)".
    enum Form : int32_t { kBare = 0, kNameFirst = 1, kAddressFirst = 2 };

    KvSdpEmailField();
    // Parses the text as the value part of an e= line when it is not null.
    explicit KvSdpEmailField(const char* text);
    // Form 0 (the display name is kept but not written); an empty address throws KvSdpParseError.
    KvSdpEmailField(const char* address, const char* displayName);
    ~KvSdpEmailField() override;

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
    kvSdpEmailFieldRegistrar("e", &KvSdpFieldRegistrar::sCreate<KvSdpEmailField>);
