// The common half of WWW-Authenticate and Proxy-Authenticate: a scheme word and its challenge.
#pragma once

#include "KvSipChallengeInfo.h"
#include "KvSipHeader.h"

class KvSipAuthenticateHeader : public KvSipHeader {
public:
    KvSipAuthenticateHeader(const KvString& token, const KvHandle<KvSipChallengeInfo>& challenge);
    // Copies share the challenge: it is read-only once built.
    KvSipAuthenticateHeader(const KvSipAuthenticateHeader& other);
    ~KvSipAuthenticateHeader() override;

    // The scheme runs to the first blank or tab; the rest of the line is the challenge text.
    void doParse(KvInputStream& stream) override;
    // Scheme, one blank, challenge text; nothing without a challenge.
    void serialize(KvOutputStream& stream) const override;

    const KvHandle<KvSipChallengeInfo>& getChallenge() const { return m_challenge; }

private:
    KvHandle<KvSipChallengeInfo> m_challenge;
};
