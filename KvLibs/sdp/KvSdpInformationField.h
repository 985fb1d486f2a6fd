// The i= line: free text about the session or a media stream.
#pragma once

#include "KvSdpField.h"

class KvSdpInformationField : public KvSdpField {
public:
    KvSdpInformationField();
    // Stores the text as the value without parsing; an empty text throws KvSdpParseError.
    explicit KvSdpInformationField(const char* text);
    ~KvSdpInformationField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getValue() const { return m_value.c_str(); }
    void setValue(const char* value) { m_value = KvString(value); }

private:
    KvString m_value;
};

inline const KvSdpFieldRegistrar
    kvSdpInformationFieldRegistrar("i", &KvSdpFieldRegistrar::sCreate<KvSdpInformationField>);
