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

KvHandle<KvSipChallengeInfo> KvSipChallengeInfo::sConstructFrom(std::string_view scheme,
                                                                KvInputStream& text) {
    if (scheme.size() == 6 && ::strncasecmp(scheme.data(), "Digest", 6) == 0) {
        return KvHandle<KvSipChallengeInfo>(KvSipDigestChallengeInfo::sConstructFrom(text));
    }
    KvException::sThrow("Challenge type not supported !");
}
