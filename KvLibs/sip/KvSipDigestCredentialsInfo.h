// Digest credentials (RFC 2617, MD5 and MD5-sess, with or without qop "auth"/"auth-int").
// Client side: built from a challenge, given the method, URI and (for auth-int) the body; the
// response is computed each time the credentials are written. Server side: parsed from a
// request's header and checked with verify().
#pragma once

#include "KvParameters.h"
#include "KvSipCredentialsInfo.h"

#include <string>

class KvInputStream;
class KvSipChallengeInfo;
class KvURI;

class KvSipDigestCredentialsInfo : public KvSipCredentialsInfo {
public:
    // Empty credentials, to be filled by the parser.
    KvSipDigestCredentialsInfo();
    // Answer to a Digest challenge; throws for a null or non-Digest challenge and for an
    // algorithm other than MD5 / MD5-sess.
    KvSipDigestCredentialsInfo(const KvHandle<KvSipChallengeInfo>& challenge, const char* username,
                               const char* password);
    KvSipDigestCredentialsInfo(const KvSipDigestCredentialsInfo&) = delete;
    KvSipDigestCredentialsInfo& operator=(const KvSipDigestCredentialsInfo&) = delete;
    ~KvSipDigestCredentialsInfo() override;

    bool verify(const char* username, const char* password, const char* realm) override;
    void serialize(KvOutputStream& stream) const override;
    KvString getUsername() const override;
    KvString getPassword() const override;
    KvString getRealm() const override;
    KvString getScheme() const override;
    void setUsername(const char* username) override;
    void setPassword(const char* password) override;

    void setMethod(const char* method);
    // The digest URI is the URI's text form; a null URI changes nothing.
    void setUri(const KvHandle<KvURI>& uri);
    // The message body that qop "auth-int" protects; a null or empty body is the empty text.
    void setEntityBody(const char* body);
    // The same for a body that may hold NUL bytes: length bytes are hashed.
    void setEntityBody(const void* body, uint32_t length);

    static KvHandle<KvSipDigestCredentialsInfo> sConstructFrom(const KvHandle<KvByteArray>& text);
    // The same from a stream of the text alone, read to its end.
    static KvHandle<KvSipDigestCredentialsInfo> sConstructFrom(KvInputStream& text);

    // Reads comma-separated name=value items (values quoted or not) into list; shared with the
    // challenge parser. At most 1,024 characters are kept, quotes and unquoted blanks excluded.
    // A list that the caller made and has not yet shared (ownList) is filled without its lock.
    static void sParseParameters(KvInputStream& stream, KvParameters& list, bool ownList = false);
    // Writes value as a quoted string: "\"" and "\\" inside it as quoted-pairs (RFC 3261 25.1).
    static void sWriteQuoted(KvOutputStream& stream, const char* value);
    static constexpr uint32_t PARAMETER_BUFFER_SIZE = 1024;

private:
    // The response digest as lower-case hex, from the current entries.
    std::string computeResponse() const;

    KvParameters m_parameters;
};
