// The challenge that a WWW-Authenticate or Proxy-Authenticate header carries, whatever the scheme.
#pragma once

#include "KvByteArray.h"
#include "KvObject.h"
#include "KvStringBuffer.h"

#include <string_view>

class KvInputStream;
class KvOutputStream;

class KvSipChallengeInfo : public KvObject {
public:
    ~KvSipChallengeInfo() override;

    // Writes the challenge text that follows the scheme word.
    virtual void serialize(KvOutputStream& stream) const = 0;
    virtual KvString getScheme() const = 0;
    virtual KvString getRealm() const = 0;

    // The challenge of the given scheme (case ignored) parsed from the text behind the scheme word.
    static KvHandle<KvSipChallengeInfo> sConstructFrom(const char* scheme,
                                                       const KvHandle<KvByteArray>& text);
    // The same from a stream of the text alone, read to its end.
    static KvHandle<KvSipChallengeInfo> sConstructFrom(std::string_view scheme,
                                                       KvInputStream& text);
};
