// The User-Agent header: the sending software's product and version text.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipUserAgentHeader : public KvSipHeaderClass<KvSipUserAgentHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"User-Agent", nullptr, KV_HEADER_USER_AGENT};

    KvSipUserAgentHeader() = default;
    // Written as product "/" version; an empty version leaves out the "/".
    KvSipUserAgentHeader(const char* product, const char* version);

    // A parenthesised comment stays part of the product or version text, and a "," or "/"
    // inside it ends nothing.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getProduct() const { return m_product; }
    const KvString& getVersion() const { return m_version; }
    const KvString& getComment() const { return m_comment; }

private:
    KvString m_product;
    KvString m_version;
    KvString m_comment; // written when not empty; parsing leaves comments in the texts above
};

inline const KvSipHeaderClassRegistrar<KvSipUserAgentHeader> kvSipUserAgentHeaderRegistrar;
