// A Digest challenge (RFC 2617): realm, nonce, opaque, algorithm, qop, stale, domain and whatever
// else the server sent, each an entry of one parameter list.
#pragma once

#include "KvParameters.h"
#include "KvSipChallengeInfo.h"

class KvSipDigestChallengeInfo : public KvSipChallengeInfo {
public:
    KvSipDigestChallengeInfo();
    KvSipDigestChallengeInfo(const KvSipDigestChallengeInfo&) = delete;
    KvSipDigestChallengeInfo& operator=(const KvSipDigestChallengeInfo&) = delete;
    ~KvSipDigestChallengeInfo() override;

    // Every entry as name=value joined by ","; algorithm, stale and uri go unquoted.
    void serialize(KvOutputStream& stream) const override;
    KvString getScheme() const override;
    KvString getRealm() const override;

    KvString getNonce() const;
    KvString getOpaque() const;
    KvString getQop() const;
    KvString getAlgorithm() const;

    // Sets (or replaces) one entry; a null value is ignored. The server side puts its own nonce
    // and "stale" here before sending the challenge.
    void setParameter(const char* name, const char* value);

    static KvHandle<KvSipDigestChallengeInfo> sConstructFrom(const KvHandle<KvByteArray>& text);
    // The same from a stream of the text alone, read to its end.
    static KvHandle<KvSipDigestChallengeInfo> sConstructFrom(KvInputStream& text);

private:
    KvParameters m_parameters;
};
