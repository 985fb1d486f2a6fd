#include "KvSipCredentialsInfo.h"

#include "KvException.h"
#include "KvSipDigestCredentialsInfo.h"

#include <strings.h>

KvSipCredentialsInfo::~KvSipCredentialsInfo() = default;

KvHandle<KvSipCredentialsInfo>
KvSipCredentialsInfo::sConstructFrom(const char* scheme, const KvHandle<KvByteArray>& text) {
    if (scheme && ::strcasecmp(scheme, "Digest") == 0) {
        return KvHandle<KvSipCredentialsInfo>(KvSipDigestCredentialsInfo::sConstructFrom(text));
    }
    KvException::sThrow("Credentials type not supported !");
}
