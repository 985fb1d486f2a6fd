// The v= line: the protocol version as a text of decimal digits.
#pragma once

#include "KvSdpField.h"

class KvSdpProtocolVersionField : public KvSdpField {
public:
    KvSdpProtocolVersionField();
    // Parses the text as the value part of a v= line when it is not null.
    explicit KvSdpProtocolVersionField(const char* text);
    ~KvSdpProtocolVersionField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getVersion() const { return m_version.c_str(); }
    void setVersion(const char* version) { setChecked(m_version, version); }

private:
    KvString m_version;
};

inline const KvSdpFieldRegistrar
    kvSdpProtocolVersionFieldRegistrar("v",
                                       &KvSdpFieldRegistrar::sCreate<KvSdpProtocolVersionField>);
