// The s= line: the session name.
#pragma once

#include "KvSdpField.h"

class KvSdpSessionNameField : public KvSdpField {
public:
    KvSdpSessionNameField();
    // Stores the text as the value without parsing; an empty text throws KvSdpParseError.
    explicit KvSdpSessionNameField(const char* text);
    ~KvSdpSessionNameField() override;

    // An empty line holds "empty".
    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getValue() const { return m_value.c_str(); }
    void setValue(const char* value) { m_value = KvString(value); }

private:
    KvString m_value;
};

inline const KvSdpFieldRegistrar
    kvSdpSessionNameFieldRegistrar("s", &KvSdpFieldRegistrar::sCreate<KvSdpSessionNameField>);
