// The s= line: the session name.
#pragma once

#include "KvSdpTextField.h"

class KvSdpSessionNameField : public KvSdpTextField {
public:
    KvSdpSessionNameField();
    // Stores the text as the value without parsing; an empty text throws KvSdpParseError.
    explicit KvSdpSessionNameField(const char* text);

    // An empty line holds "empty".
    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;
};

inline const KvSdpFieldRegistrar
    kvSdpSessionNameFieldRegistrar("s", &KvSdpFieldRegistrar::sCreate<KvSdpSessionNameField>);
