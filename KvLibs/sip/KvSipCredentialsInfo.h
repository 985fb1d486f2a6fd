// The credentials that an Authorization or Proxy-Authorization header carries, whatever the scheme.
#pragma once

#include "KvByteArray.h"
#include "KvObject.h"
#include "KvSipHeaderTextStream.h"
#include "KvStringBuffer.h"

#include <string_view>

class KvOutputStream;

class KvSipCredentialsInfo : public KvObject {
public:
    ~KvSipCredentialsInfo() override;

    // Server side: true when the received credentials were made with this user, password, realm.
    virtual bool verify(const char* username, const char* password, const char* realm) = 0;
    // Writes the credentials text that follows the scheme word.
    virtual void serialize(KvOutputStream& stream) const = 0;
    virtual KvString getUsername() const = 0;
    virtual KvString getPassword() const = 0;
    virtual KvString getRealm() const = 0;
    virtual KvString getScheme() const = 0;
    virtual void setUsername(const char* username) = 0;
    virtual void setPassword(const char* password) = 0;

    // Credentials of the given scheme (case ignored) parsed from the text behind the scheme word.
    static KvHandle<KvSipCredentialsInfo> sConstructFrom(const char* scheme,
                                                         const KvHandle<KvByteArray>& text);
    // The same from a stream of the text alone, read to its end.
    static KvHandle<KvSipCredentialsInfo> sConstructFrom(std::string_view scheme,
                                                         KvInputStream& text);

    // Reads an authentication header's value up to and past its line end: the scheme word, ended
    // by the first blank or tab, and the text behind that blank (a line without one is both).
    // Returns make(scheme, stream of the text). Both are seen in place in a stream that shows its
    // bytes.
    template <class Make> static auto sReadSchemeLine(KvInputStream& stream, Make make) {
        KvString line;
        std::string_view scheme;
        std::string_view text;
        sSplitSchemeLine(stream, line, scheme, text);
        KvSipHeaderTextStream items(text.data(), static_cast<uint32_t>(text.size()));
        return make(scheme, static_cast<KvInputStream&>(items));
    }

private:
    // The texts above; line holds them when the stream does not show its bytes.
    static void sSplitSchemeLine(KvInputStream& stream, KvString& line, std::string_view& scheme,
                                 std::string_view& text);
};
