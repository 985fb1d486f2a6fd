// A header whose name has no class of its own: the name and the raw value text as received.
#pragma once

#include "KvSipHeader.h"

class KvSipUnknownHeader : public KvSipHeader {
public:
    KvSipUnknownHeader(const char* name, const char* value);
    KvSipUnknownHeader(const KvString& name, const KvString& value);
    KvSipUnknownHeader(const KvSipUnknownHeader& other);
    ~KvSipUnknownHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override { return m_token; }
    // The value runs to the line end; its commas stay in it, so it never has siblings.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getValue() const { return m_value; }
    void setValue(const char* value);

private:
    KvString m_value;
    KvString m_token;
};
