// The i= line: free text about the session or a media stream.
#pragma once

#include "KvSdpTextField.h"

class KvSdpInformationField : public KvSdpTextField {
public:
    KvSdpInformationField();
    // Stores the text as the value without parsing; an empty text throws KvSdpParseError.
    explicit KvSdpInformationField(const char* text);

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;
};

inline const KvSdpFieldRegistrar
    kvSdpInformationFieldRegistrar("i", &KvSdpFieldRegistrar::sCreate<KvSdpInformationField>);
