// The k= line: an encryption key method ("prompt", "clear", "base64" or an http URI) and key.
#pragma once

#include "KvSdpField.h"

class KvSdpKeyField : public KvSdpField {
public:
    KvSdpKeyField();
    // Parses the text as the value part of a k= line when it is not null.
    explicit KvSdpKeyField(const char* text);
    ~KvSdpKeyField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getMethod() const { return m_method.c_str(); }
    void setMethod(const char* method) { setChecked(m_method, method); }
    const char* getKey() const { return m_key.c_str(); }
    void setKey(const char* key) { setChecked(m_key, key); }

private:
    KvString m_method;
    KvString m_key;
};

inline const KvSdpFieldRegistrar
    kvSdpKeyFieldRegistrar("k", &KvSdpFieldRegistrar::sCreate<KvSdpKeyField>);
