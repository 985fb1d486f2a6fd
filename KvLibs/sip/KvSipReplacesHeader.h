// The Replaces header (RFC 3891): the dialog that a new INVITE replaces. Only ever received.
#pragma once

#include "KvConstString.h"
#include "KvParameters.h"
#include "KvSipHeaderClass.h"

class KvSipReplacesHeader : public KvSipHeaderClass<KvSipReplacesHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Replaces", nullptr, KV_HEADER_REPLACES};

    KvSipReplacesHeader();
    KvSipReplacesHeader(const KvSipReplacesHeader& other);

    // The call-id up to the first ";", then the rest of the line as parameters. Nothing is
    // checked: the call manager decides what an empty call-id or a missing tag means.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // Never null: "" when empty.
    const char* getCallId() const { return m_callId.c_str(); }
    // The "from-tag" and "to-tag" parameters; null when absent or without value.
    const char* getFromTag() const { return m_parameters->getParameterText("from-tag"); }
    const char* getToTag() const { return m_parameters->getParameterText("to-tag"); }
    const KvHandle<KvParameters>& getParameters() const { return m_parameters; }

private:
    KvHandle<KvParameters> m_parameters; // never null
    KvConstString m_callId;
};

inline const KvSipHeaderClassRegistrar<KvSipReplacesHeader> kvSipReplacesHeaderRegistrar;
