// The p= line: a phone number ("+" and digits, grouped by spaces or "-"), bare or with a name.
#pragma once

#include "KvSdpContactField.h"

#include <cstdint>

class KvSdpPhoneField : public KvSdpContactField {
public:
    // Forms of the line: the bare number, "name <number>", "number (name)".
    enum Form : int32_t { kBare = 0, kNameFirst = 1, kNumberFirst = 2 };

    KvSdpPhoneField();
    // Parses the text as the value part of a p= line when it is not null.
    explicit KvSdpPhoneField(const char* text);
    // Form 0 (the display name is kept but not written); an empty number or a line break in
    // either text throws KvSdpParseError.
    KvSdpPhoneField(const char* number, const char* displayName);

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;
};

inline const KvSdpFieldRegistrar
    kvSdpPhoneFieldRegistrar("p", &KvSdpFieldRegistrar::sCreate<KvSdpPhoneField>);
