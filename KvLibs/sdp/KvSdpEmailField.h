// The e= line: an e-mail address, bare or with a display name.
#pragma once

#include "KvSdpContactField.h"

#include <cstdint>

class KvSdpEmailField : public KvSdpContactField {
public:
    // Forms of the line: the bare address, "name <address>", "address (name)".
    enum Form : int32_t { kBare = 0, kNameFirst = 1, kAddressFirst = 2 };

    KvSdpEmailField();
    // Parses the text as the value part of an e= line when it is not null.
    explicit KvSdpEmailField(const char* text);
    // Form 0 (the display name is kept but not written); an empty address or a line break in
    // either text throws KvSdpParseError.
    KvSdpEmailField(const char* address, const char* displayName);

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;
};

inline const KvSdpFieldRegistrar
    kvSdpEmailFieldRegistrar("e", &KvSdpFieldRegistrar::sCreate<KvSdpEmailField>);
