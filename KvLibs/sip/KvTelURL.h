// A "tel" number with its parameters.
#pragma once

#include "KvURI.h"

class KvParameters;

class KvTelURL : public KvURI {
public:
    KvTelURL();
    KvTelURL(const KvTelURL& other);
    ~KvTelURL() override;

    KvObject* clone() const override;
    bool hasParameters() const override;
    KvString serialize() const override;
    void parse(KvInputStream& stream) override;

    static KvURI* sCreate();

    // The number keeps its leading "+".
    KvString getNumber() const { return m_number; }
    bool isGlobal() const { return m_global; }
    KvHandle<KvParameters> getParameters() const { return m_parameters; }

    static constexpr uint32_t BUFFER_SIZE = 1024;

private:
    KvString m_number;
    KvHandle<KvParameters> m_parameters;
    bool m_global;
};
