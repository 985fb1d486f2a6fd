// The a= line: a property attribute (name only) or a value attribute (name ":" value). The value
// of an rtpmap line is a KvSdpRtpAttribute.
#pragma once

#include "KvSdpAttribute.h"
#include "KvSdpField.h"

class KvSdpAttributeField : public KvSdpField {
public:
    KvSdpAttributeField();
    // Parses the text as the value part of an a= line when it is not null.
    explicit KvSdpAttributeField(const char* text);
    // The value may be null (a property attribute); a name with a line break throws
    // KvSdpParseError.
    KvSdpAttributeField(const char* name, const KvHandle<KvSdpAttribute>& value);
    // Builds a plain attribute from the value text (none when it is null); an empty name or a line
    // break in either text throws KvSdpParseError.
    KvSdpAttributeField(const char* name, const char* value);
    ~KvSdpAttributeField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getName() const { return m_name.c_str(); }
    void setName(const char* name) { setChecked(m_name, name); }
    KvHandle<KvSdpAttribute> getValue() const { return m_value; }
    void setValue(const KvHandle<KvSdpAttribute>& value) { m_value = value; }
    bool hasValue() const { return !m_value.isNull(); }
    // The value's text, or null for a property attribute.
    const char* getValueText() const;

private:
    KvString m_name;
    KvHandle<KvSdpAttribute> m_value;
};

inline const KvSdpFieldRegistrar
    kvSdpAttributeFieldRegistrar("a", &KvSdpFieldRegistrar::sCreate<KvSdpAttributeField>);
