// The u= line: the URI of the session's description.
#pragma once

#include "KvSdpField.h"

class KvSdpUriField : public KvSdpField {
public:
    KvSdpUriField();
    // Takes the text unchanged as the URI; an empty or null text throws KvSdpParseError.
    explicit KvSdpUriField(const char* uri);
    ~KvSdpUriField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getUri() const { return m_uri.c_str(); }
    void setUri(const char* uri) { setChecked(m_uri, uri); }

private:
    KvString m_uri;
};

inline const KvSdpFieldRegistrar
    kvSdpUriFieldRegistrar("u", &KvSdpFieldRegistrar::sCreate<KvSdpUriField>);
