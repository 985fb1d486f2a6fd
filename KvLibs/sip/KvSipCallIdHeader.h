// The Call-ID header: the identifier shared by every message of a dialog or registration.
#pragma once

#include "KvConstString.h"
#include "KvSipHeaderClass.h"

class KvSipCallIdHeader : public KvSipHeaderClass<KvSipCallIdHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Call-ID", "i", KV_HEADER_CALL_ID};

    KvSipCallIdHeader() = default;
    // The text is kept byte for byte; a null text gives an empty Call-ID.
    explicit KvSipCallIdHeader(const char* text);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // Never null: "" when empty.
    const char* getCallIdText() const { return m_callId.c_str(); }

private:
    KvConstString m_callId;
};

inline const KvSipHeaderClassRegistrar<KvSipCallIdHeader> kvSipCallIdHeaderRegistrar;
