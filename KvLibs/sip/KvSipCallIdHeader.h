// The Call-ID header: the identifier shared by every message of a dialog or registration.
#pragma once

#include "KvConstString.h"
#include "KvSipHeader.h"

class KvSipCallIdHeader : public KvSipHeader {
public:
    KvSipCallIdHeader();
    // The text is kept byte for byte; a null text gives an empty Call-ID.
    explicit KvSipCallIdHeader(const char* text);
    KvSipCallIdHeader(const KvSipCallIdHeader& other);
    ~KvSipCallIdHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    const KvString& getCompactToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    // Never null: "" when empty.
    const char* getCallIdText() const { return m_callId.c_str(); }

private:
    KvConstString m_callId;
};

inline const KvSipHeaderRegistrar kvSipCallIdHeaderRegistrar("Call-ID", "i",
                                                             &KvSipCallIdHeader::sCreate);
