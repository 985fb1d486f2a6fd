// The Digest parameter text of Authorization and WWW-Authenticate values, parsed and written
// back; what is written must read back to the same text.
#include "KvByteArray.h"
#include "KvException.h"
#include "KvFuzzSupport.h"
#include "KvSipChallengeInfo.h"
#include "KvSipCredentialsInfo.h"
#include "KvSipDigestChallengeInfo.h"
#include "KvSipDigestCredentialsInfo.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

template <class T> std::string written(const KvHandle<T>& info) {
    KvFuzzStringStream out;
    info->serialize(out);
    return out.text;
}

KvHandle<KvByteArray> bytesOf(const std::string& text) {
    return KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data());
}

void fuzzCredentials(const KvHandle<KvByteArray>& bytes) {
    KvHandle<KvSipCredentialsInfo> credentials;
    std::string text;
    try {
        credentials = KvSipCredentialsInfo::sConstructFrom("Digest", bytes);
        if (credentials.isNull())
            return;
        text = written(credentials);
    } catch (KvHandle<KvException>&) {
        return;
    }
    try {
        credentials->verify("user", "secret", "realm");
    } catch (KvHandle<KvException>&) {
    }
    KvHandle<KvSipCredentialsInfo> again;
    try {
        again = KvSipCredentialsInfo::sConstructFrom("Digest", bytesOf(text));
    } catch (KvHandle<KvException>& e) {
        // The writer adds the items that were missing, which may not fit the reader's buffer.
        if (text.size() > KvSipDigestCredentialsInfo::PARAMETER_BUFFER_SIZE)
            return;
        kvFuzzFail(e->getText(), text);
    }
    if (again.isNull() || written(again) != text)
        kvFuzzFail("written credentials read back otherwise", text,
                   again.isNull() ? std::string() : written(again));
}

// The items that the stack reads from a challenge.
std::string itemsOf(const KvHandle<KvSipChallengeInfo>& challenge) {
    auto* digest = dynamic_cast<KvSipDigestChallengeInfo*>(challenge.get());
    if (!digest)
        kvFuzzFail("a Digest challenge of another class");
    std::string items;
    for (const KvString& item : {digest->getRealm(), digest->getNonce(), digest->getOpaque(),
                                 digest->getQop(), digest->getAlgorithm()})
        items += std::string(item.isEmpty() ? "(none)" : item.data()) + "\n";
    return items;
}

// Whether every name in a written parameter text (name=value items joined by commas, values
// possibly quoted) is a token of letters, digits and "-".
bool namesAreTokens(const std::string& text) {
    bool quoted = false;
    bool inName = true;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == ',') {
            inName = true;
        } else if (c == '=') {
            inName = false;
        } else if (inName && !std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
            return false;
        }
    }
    return !quoted;
}

void fuzzChallenge(const KvHandle<KvByteArray>& bytes) {
    KvHandle<KvSipChallengeInfo> challenge;
    std::string text;
    try {
        challenge = KvSipChallengeInfo::sConstructFrom("Digest", bytes);
        if (challenge.isNull())
            return;
        text = written(challenge);
    } catch (KvHandle<KvException>&) {
        return;
    }
    // Texts are C texts: a NUL byte cuts a value short.
    if (std::memchr(bytes->getData(), 0, bytes->size()))
        return;
    // Names are written as they were read, and a name that came in quotes may hold blanks that
    // the reader drops outside quotes ("o paque" becomes "opaque"): the first rewrite may thus
    // change the items, and only from then on must they stay.
    KvHandle<KvSipChallengeInfo> second, third;
    std::string secondText;
    try {
        second = KvSipChallengeInfo::sConstructFrom("Digest", bytesOf(text));
        secondText = written(second);
        third = KvSipChallengeInfo::sConstructFrom("Digest", bytesOf(secondText));
    } catch (KvHandle<KvException>& e) {
        kvFuzzFail(e->getText(), text, secondText);
    }
    if (second.isNull() || third.isNull() || itemsOf(third) != itemsOf(second))
        kvFuzzFail("a written challenge reads back otherwise", secondText,
                   third.isNull() ? std::string() : written(third));
    // When every name is a plain token, not even the first rewrite may change an item.
    if (namesAreTokens(text) && itemsOf(second) != itemsOf(challenge))
        kvFuzzFail("a written challenge reads back otherwise", itemsOf(challenge), itemsOf(second));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvFuzzQuietLog();
    KvHandle<KvByteArray> bytes = kvFuzzBytes(data, size);
    fuzzCredentials(bytes);
    fuzzChallenge(bytes);
    return 0;
}
