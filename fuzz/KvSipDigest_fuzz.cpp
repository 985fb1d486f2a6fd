// The Digest parameter text of Authorization and WWW-Authenticate values, parsed and written back.
#include "KvByteArray.h"
#include "KvByteArrayOutputStream.h"
#include "KvException.h"
#include "KvSipChallengeInfo.h"
#include "KvSipCredentialsInfo.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvHandle<KvByteArray> bytes = KvByteArray::sCreate(static_cast<uint32_t>(size), data);
    try {
        KvHandle<KvSipCredentialsInfo> credentials = KvSipCredentialsInfo::sConstructFrom("Digest", bytes);
        if (!credentials.isNull()) {
            KvByteArrayOutputStream out;
            credentials->serialize(out);
            credentials->verify("user", "secret", "realm");
        }
    } catch (KvHandle<KvException>&) {
    }
    try {
        KvHandle<KvSipChallengeInfo> challenge = KvSipChallengeInfo::sConstructFrom("Digest", bytes);
        if (!challenge.isNull()) {
            KvByteArrayOutputStream out;
            challenge->serialize(out);
        }
    } catch (KvHandle<KvException>&) {
    }
    return 0;
}
