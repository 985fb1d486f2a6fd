#include "KvSipChallengeInfo.h"

#include "KvException.h"
#include "KvSipDigestChallengeInfo.h"

#include <strings.h>

KvSipChallengeInfo::~KvSipChallengeInfo() = default;

KvHandle<KvSipChallengeInfo> KvSipChallengeInfo::sConstructFrom(const char* scheme,
                                                                const KvHandle<KvByteArray>& text) {
    if (scheme && ::strcasecmp(scheme, "Digest") == 0) {
        return KvHandle<KvSipChallengeInfo>(KvSipDigestChallengeInfo::sConstructFrom(text));
    }
    KvException::sThrow("Challenge type not supported !");
}
