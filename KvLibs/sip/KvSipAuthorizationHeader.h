// The Authorization header: a scheme word and the credentials of a client (in practice Digest).
#pragma once

#include "KvSipCredentialsInfo.h"
#include "KvSipHeaderClass.h"

class KvSipAuthorizationHeader : public KvSipHeaderClass<KvSipAuthorizationHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Authorization", nullptr, KV_HEADER_AUTHORIZATION};

    KvSipAuthorizationHeader();
    // Keeps the credentials themselves, not a copy.
    explicit KvSipAuthorizationHeader(KvHandle<KvSipCredentialsInfo> credentials);
    // Copies share the credentials with their source.
    KvSipAuthorizationHeader(const KvSipAuthorizationHeader& other) = default;

    // The scheme runs to the first blank or tab; the rest of the line is the credentials text.
    // Commas belong to the credentials, so this header never has siblings.
    void doParse(KvInputStream& stream) override;
    // Scheme, one blank, credentials text; nothing without credentials.
    void serialize(KvOutputStream& stream) const override;
    virtual KvString getTokenString() const;

    KvHandle<KvSipCredentialsInfo> getCredentials() const { return m_credentials; }
    void setCredentials(KvHandle<KvSipCredentialsInfo> credentials) {
        m_credentials = std::move(credentials);
    }

protected:
    // For Proxy-Authorization, which is this header under another name and id.
    KvSipAuthorizationHeader(const KvString& token, KvHandle<KvSipCredentialsInfo> credentials);

private:
    KvHandle<KvSipCredentialsInfo> m_credentials;
};

inline const KvSipHeaderClassRegistrar<KvSipAuthorizationHeader> kvSipAuthorizationHeaderRegistrar;
