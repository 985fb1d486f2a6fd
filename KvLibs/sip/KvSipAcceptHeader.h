// The Accept header: one media range that the sender can take in a body. An empty Accept (no
// range at all) is valid and means that no body format is acceptable.
#pragma once

#include "KvParameters.h"
#include "KvSipHeaderClass.h"

class KvSipAcceptHeader : public KvSipHeaderClass<KvSipAcceptHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Accept", nullptr, KV_HEADER_ACCEPT};

    KvSipAcceptHeader();
    // "type/subtype", or a comma-separated list of such kept whole; split and refused as a
    // Content-Type text is, each range of a list alike.
    explicit KvSipAcceptHeader(const char* mediaRange);
    KvSipAcceptHeader(const KvSipAcceptHeader& other);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getType() const { return m_type; }
    const KvString& getSubtype() const { return m_subtype; }
    const KvHandle<KvParameters>& getParameters() const { return m_parameters; }

private:
    KvString m_type;
    KvString m_subtype;
    KvHandle<KvParameters> m_parameters;
};

inline const KvSipHeaderClassRegistrar<KvSipAcceptHeader> kvSipAcceptHeaderRegistrar;
