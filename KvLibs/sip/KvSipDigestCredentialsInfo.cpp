#include "KvSipDigestCredentialsInfo.h"

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvMD5.h"
#include "KvOutputStream.h"
#include "KvSipDigestChallengeInfo.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"
#include "KvURI.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <strings.h>

namespace {

constexpr char kEmptyBodyHash[] = "d41d8cd98f00b204e9800998ecf8427e";

// The bytes that the parameter reader treats otherwise than storing them; inside a quoted value
// only the quote, the backslash and the line end.
constexpr KvCharClass kPlainStops{"\n,\\\"= \t"};

// Lower-case hex of the MD5 of the text, the form in which RFC 2617 chains its hashes.
std::string md5Hex(std::string_view text) {
    uint8_t digest[KvMD5::kDigestSize];
    KvMD5 md5;
    md5.update(text.data(), text.size());
    md5.final(digest);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex(2 * KvMD5::kDigestSize, '\0');
    for (uint32_t i = 0; i < KvMD5::kDigestSize; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    return hex;
}

// The entries that take part in the digest, seen in place under the list's lock.
struct DigestItems {
    std::string_view username, password, realm, nonce, algorithm, opaque, method, uri, entityBody,
        qop, nc, cnonce, response;
    bool hasAlgorithm = false;
    bool hasOpaque = false;
    bool hasQop = false;
    bool hasEntityBody = false;
    bool hasResponse = false;
};

// Where each entry goes, and the flag that says it was there (for those whose absence counts).
struct ItemSlot {
    const char* name;
    std::string_view DigestItems::*value;
    bool DigestItems::*present;
};
constexpr ItemSlot kItemSlots[] = {
    {"username", &DigestItems::username, nullptr},
    {"password", &DigestItems::password, nullptr},
    {"realm", &DigestItems::realm, nullptr},
    {"nonce", &DigestItems::nonce, nullptr},
    {"algorithm", &DigestItems::algorithm, &DigestItems::hasAlgorithm},
    {"opaque", &DigestItems::opaque, &DigestItems::hasOpaque},
    {"method", &DigestItems::method, nullptr},
    {"uri", &DigestItems::uri, nullptr},
    {"entity-body", &DigestItems::entityBody, &DigestItems::hasEntityBody},
    {"qop", &DigestItems::qop, &DigestItems::hasQop},
    {"nc", &DigestItems::nc, nullptr},
    {"cnonce", &DigestItems::cnonce, nullptr},
    {"response", &DigestItems::response, &DigestItems::hasResponse},
};

// Calls use(items) while the list's lock is held: the items point into the list.
template <class F> void withItems(const KvParameters& list, F use) {
    DigestItems items;
    list.forEach(
        [&items](const char* key, const char* value) {
            const std::string_view text = value ? value : "";
            // The first letter rules out most names without a call (every name is lower case).
            auto is = [key](const char* name) {
                return (key[0] | 0x20) == name[0] && ::strcasecmp(key, name) == 0;
            };
            // The list has no duplicate keys, so each name matches at most once.
            for (const ItemSlot& slot : kItemSlots) {
                if (is(slot.name)) {
                    items.*slot.value = text;
                    if (slot.present)
                        items.*slot.present = true;
                    return;
                }
            }
        },
        [&items, &use] { use(static_cast<const DigestItems&>(items)); });
}

bool isSupportedAlgorithm(const char* algorithm) {
    // "MD5" and "MD5-sess"; matched on the prefix as peers have always been.
    return std::strncmp(algorithm, "MD5", 3) == 0;
}

void checkAlgorithm(const DigestItems& items) {
    if (items.hasAlgorithm && !isSupportedAlgorithm(std::string(items.algorithm).c_str())) {
        KvException::sThrow("Unsupported Algorithm !!!");
    }
}

void checkAlgorithm(const KvParameters& list) {
    if (list.hasParameter("algorithm")) {
        const char* algorithm = list.getParameterText("algorithm");
        if (!algorithm || !isSupportedAlgorithm(algorithm)) {
            KvException::sThrow("Unsupported Algorithm !!!");
        }
    }
}

std::string hashA1(const DigestItems& items) {
    std::string a1 = std::string(items.username) + ':' + std::string(items.realm) + ':' +
                     std::string(items.password);
    if (items.hasQop && items.algorithm == "MD5-sess") {
        a1 = md5Hex(a1) + ':' + std::string(items.nonce) + ':' + std::string(items.cnonce);
    }
    return md5Hex(a1);
}

std::string hashA2(const DigestItems& items) {
    std::string a2 = std::string(items.method) + ':' + std::string(items.uri);
    if (items.qop == "auth-int") {
        // RFC 2617: H(entity-body) of an absent body is the hash of the empty text.
        a2 += ':';
        a2 += items.hasEntityBody && !items.entityBody.empty() ? items.entityBody
                                                               : std::string_view(kEmptyBodyHash);
    }
    return md5Hex(a2);
}

// The value's runs and quoted-pairs, then the closing quote.
void writeQuotedRest(KvOutputStream& stream, std::string_view value) {
    const char* run = value.data();
    const char* const end = run + value.size();
    while (run < end) {
        // Two vector scans beat a byte loop over the long nonces and responses.
        const char* special = end;
        for (char c : {'"', '\\'})
            if (const void* found = std::memchr(run, c, static_cast<size_t>(special - run)))
                special = static_cast<const char*>(found);
        if (special > run)
            stream.write(run, static_cast<uint32_t>(special - run), 0);
        run = special;
        if (run < end) {
            const char pair[2] = {'\\', *run++};
            stream.write(pair, 2, 0);
        }
    }
    stream << '"';
}

void writeQuoted(KvOutputStream& stream, std::string_view value) {
    stream << '"';
    writeQuotedRest(stream, value);
}

// A token item as written: bare, unless its value holds what ends, splits or quotes an unquoted
// value (a received value may, when it came quoted), which would read back as something else.
void writeTokenItem(KvOutputStream& stream, std::string_view value) {
    if (value.find_first_of(", \t\"\\") == std::string_view::npos)
        stream.write(value.data(), static_cast<uint32_t>(value.size()), 0);
    else
        writeQuoted(stream, value);
}

// The response digest as lower-case hex.
std::string responseOf(const DigestItems& items) {
    checkAlgorithm(items);
    std::string s = hashA1(items);
    s += ':';
    s += items.nonce;
    s += ':';
    if (items.qop == "auth" || items.qop == "auth-int") {
        s += items.nc;
        s += ':';
        s += items.cnonce;
        s += ':';
        s += items.qop;
        s += ':';
    }
    s += hashA2(items);
    return md5Hex(s);
}

// Entries that only the local side sets; a peer that sends them must not steer the digest.
constexpr std::string_view kLocalOnlyItems[] = {"password", "method", "entity-body", "qopoptions"};

} // namespace

KvSipDigestCredentialsInfo::KvSipDigestCredentialsInfo() = default;

KvSipDigestCredentialsInfo::KvSipDigestCredentialsInfo(
    const KvHandle<KvSipChallengeInfo>& challenge, const char* username, const char* password) {
    KvSipParseError::refuseLineEnd(username, *this);
    if (challenge.isNull()) {
        KvException::sThrow("Handle to challenge is NIL");
    }
    auto* digest = dynamic_cast<KvSipDigestChallengeInfo*>(challenge.get());
    if (!digest) {
        KvException::sThrow("Challenge type not supported !");
    }
    m_parameters.setParameter("realm", challenge->getRealm().data());
    m_parameters.setParameter("nonce", digest->getNonce().data());
    KvString algorithm = digest->getAlgorithm();
    if (algorithm.data() && !isSupportedAlgorithm(algorithm.data())) {
        KvException::sThrow("Unsupported Algorithm !!!");
    }
    m_parameters.setParameter("algorithm", algorithm.data());
    m_parameters.setParameter("opaque", digest->getOpaque().data());
    m_parameters.setParameter("qopoptions", digest->getQop().data());
    m_parameters.setParameter("username", username);
    m_parameters.storeParameter("password", password);
}

KvSipDigestCredentialsInfo::~KvSipDigestCredentialsInfo() = default;

std::string KvSipDigestCredentialsInfo::computeResponse() const {
    std::string response;
    withItems(m_parameters,
              [&response](const DigestItems& items) { response = responseOf(items); });
    return response;
}

bool KvSipDigestCredentialsInfo::verify(const char* username, const char* password,
                                        const char* realm) {
    m_parameters.storeParameter("username", username);
    m_parameters.storeParameter("password", password);
    m_parameters.storeParameter("realm", realm);
    const std::string computed = computeResponse();
    KvString received = m_parameters.getParameter("response");
    // Exact: a response in upper-case hex is not ours.
    return !received.isEmpty() && computed == received.data();
}

void KvSipDigestCredentialsInfo::serialize(KvOutputStream& stream) const {
    withItems(m_parameters, [&stream](const DigestItems& items) {
        // Without a response of their own the credentials carry the one computed here, which an
        // algorithm other than MD5 refuses: an empty response could never be verified.
        std::string computed;
        if (!items.hasResponse)
            computed = responseOf(items);
        const std::string_view response = items.hasResponse ? items.response : computed;
        // The name, "=" and (for a quoted value) the opening quote go in one write.
        auto head = [&stream](std::string_view text) {
            stream.write(text.data(), static_cast<uint32_t>(text.size()), 0);
        };
        auto quoted = [&stream, &head](std::string_view text, std::string_view value) {
            head(text);
            writeQuotedRest(stream, value);
        };
        quoted("username=\"", items.username);
        quoted(",realm=\"", items.realm);
        quoted(",nonce=\"", items.nonce);
        quoted(",response=\"", response);
        quoted(",uri=\"", items.uri);
        if (items.hasAlgorithm) {
            head(",algorithm=");
            writeTokenItem(stream, items.algorithm);
        }
        if (items.hasOpaque) {
            quoted(",opaque=\"", items.opaque);
        }
        if (items.hasQop) {
            // message-qop and nonce-count are tokens in RFC 2617; only cnonce is quoted.
            head(",qop=");
            writeTokenItem(stream, items.qop);
            head(",nc=");
            writeTokenItem(stream, items.nc);
            quoted(",cnonce=\"", items.cnonce);
        }
    });
}

void KvSipDigestCredentialsInfo::sWriteQuoted(KvOutputStream& stream, const char* value) {
    writeQuoted(stream, value ? std::string_view(value) : std::string_view());
}

KvString KvSipDigestCredentialsInfo::getUsername() const {
    return m_parameters.getParameter("username");
}

KvString KvSipDigestCredentialsInfo::getPassword() const {
    return m_parameters.getParameter("password");
}

KvString KvSipDigestCredentialsInfo::getRealm() const {
    return m_parameters.getParameter("realm");
}

KvString KvSipDigestCredentialsInfo::getScheme() const {
    // One shared string for every credentials object written.
    static const KvString scheme = [] {
        KvString text("Digest");
        text->setPermanent();
        return text;
    }();
    return scheme;
}

void KvSipDigestCredentialsInfo::setUsername(const char* username) {
    KvSipParseError::refuseLineEnd(username, *this);
    m_parameters.setParameter("username", username);
}

void KvSipDigestCredentialsInfo::setPassword(const char* password) {
    m_parameters.storeParameter("password", password);
}

void KvSipDigestCredentialsInfo::setMethod(const char* method) {
    m_parameters.storeParameter("method", method);
}

void KvSipDigestCredentialsInfo::setUri(const KvHandle<KvURI>& uri) {
    if (uri.isNull()) {
        return;
    }
    m_parameters.setParameter("uri", uri->serialize().c_str());
}

void KvSipDigestCredentialsInfo::setEntityBody(const char* body) {
    setEntityBody(body, body ? static_cast<uint32_t>(std::strlen(body)) : 0);
}

void KvSipDigestCredentialsInfo::setEntityBody(const void* body, uint32_t length) {
    checkAlgorithm(m_parameters);
    if (!body || length == 0) {
        m_parameters.setParameter("entity-body", kEmptyBodyHash);
        return;
    }
    const std::string hash = md5Hex(std::string_view(static_cast<const char*>(body), length));
    m_parameters.setParameter("entity-body", hash.c_str());
}

namespace {

// Names as the list compares them: without surrounding blanks.
std::string_view trimmedName(std::string_view name) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!name.empty() && blank(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && blank(name.back()))
        name.remove_suffix(1);
    return name;
}

// The bytes that a cursor shows, read through a plain pointer that the compiler keeps in a
// register; the cursor catches up for a mark and when the reading ends, however it ends.
class WindowSource {
public:
    explicit WindowSource(KvInputCursor& cursor) : m_cursor(cursor) { fetch(); }
    WindowSource(const WindowSource&) = delete;
    WindowSource& operator=(const WindowSource&) = delete;
    ~WindowSource() { sync(); }

    int read() { return m_next < m_end ? static_cast<uint8_t>(*m_next++) : -1; }
    void mark() {
        sync();
        m_cursor.mark();
    }
    void reset() {
        m_cursor.reset();
        fetch();
    }
    const char* rest(uint32_t& length) const {
        length = static_cast<uint32_t>(m_end - m_next);
        return m_next;
    }
    void advance(uint32_t count) { m_next += count; }

private:
    void fetch() {
        uint32_t length = 0;
        m_synced = m_next = m_cursor.rest(length);
        m_end = m_next + length;
    }
    void sync() {
        m_cursor.advance(static_cast<uint32_t>(m_next - m_synced));
        m_synced = m_next;
    }

    KvInputCursor& m_cursor;
    const char* m_synced;
    const char* m_next;
    const char* m_end;
};

// Reads comma-separated name=value items from source (a cursor or a window), handing each to
// set(key, value); the key's text is ended by a NUL.
template <class Source, class Set> void readItems(Source& source, Set& set) {
    constexpr uint32_t kBufferSize = KvSipDigestCredentialsInfo::PARAMETER_BUFFER_SIZE;
    // One entry at a time: its name, a NUL, its value and a NUL.
    char buffer[kBufferSize + 2];
    uint32_t used = 0;
    uint32_t left = kBufferSize; // characters that the whole text may still keep
    uint32_t keyLength = 0;
    bool keyPending = false;
    bool quoted = false;
    bool lastLine = false;

    auto append = [&](char c) {
        if (left == 0) {
            KvException::sThrow("Buffer overflew !!!");
        }
        --left;
        buffer[used++] = c;
    };
    // Both texts are handed over in place; the buffer starts again for the next entry.
    auto setEntry = [&]() {
        buffer[used] = '\0';
        set(std::string_view(buffer, keyLength), buffer + keyLength + 1);
        used = 0;
    };

    for (;;) {
        // Bytes that are only stored go over in runs when the bytes are in view. Inside a quoted
        // value blanks, "," and "=" are stored too.
        uint32_t length = 0;
        if (const char* rest = source.rest(length)) {
            const uint32_t limit = std::min(length, left);
            uint32_t run = 0;
            if (quoted && keyPending) {
                // Quoted values (nonces, digests) are long: the library's vector searches win.
                run = limit;
                for (char stop : {'"', '\\', '\n'})
                    if (const void* found = std::memchr(rest, stop, run))
                        run = static_cast<uint32_t>(static_cast<const char*>(found) - rest);
            } else {
                const auto* bytes = reinterpret_cast<const uint8_t*>(rest);
                while (run < limit && !kPlainStops.contains(bytes[run]))
                    ++run;
            }
            if (run) {
                std::memcpy(buffer + used, rest, run);
                used += run;
                left -= run;
                source.advance(run);
            }
        }
        int c = source.read();
        switch (c) {
        case -1:
            if (keyPending)
                setEntry();
            return;
        case '\n':
            lastLine = true;
            [[fallthrough]];
        case ',':
            if (!quoted && keyPending) {
                setEntry();
                keyPending = false;
                if (lastLine)
                    return;
            } else {
                append(',');
            }
            break;
        case '\\':
            if (quoted && keyPending) {
                // In a quoted value a quoted-pair stands for the character behind the backslash;
                // a line end cannot be escaped, so there the backslash is an ordinary character.
                // Names are tokens, written as they were read: there it stays an ordinary
                // character.
                source.mark();
                const int escaped = source.read();
                if (escaped < 0 || escaped == '\r' || escaped == '\n') {
                    source.reset();
                    append('\\');
                } else {
                    append(static_cast<char>(escaped));
                }
            } else {
                append('\\');
            }
            break;
        case '"':
            quoted = !quoted;
            break;
        case '=':
            if (keyPending) {
                append('=');
            } else {
                // The name as read (the list trims it), ended where the value starts.
                keyLength = used;
                buffer[used++] = '\0';
                keyPending = true;
            }
            break;
        case ' ':
        case '\t':
            // Blanks between items and around "=" carry nothing.
            if (quoted)
                append(static_cast<char>(c));
            break;
        default:
            append(static_cast<char>(c));
            break;
        }
    }
}

template <class Set> void parseItems(KvInputStream& stream, Set set) {
    KvInputCursor cursor(stream);
    uint32_t length = 0;
    if (cursor.rest(length)) {
        WindowSource window(cursor);
        readItems(window, set);
    } else {
        readItems(cursor, set);
    }
}

} // namespace

KvHandle<KvSipDigestCredentialsInfo>
KvSipDigestCredentialsInfo::sConstructFrom(const KvHandle<KvByteArray>& text) {
    KvByteArrayInputStream stream(text);
    return sConstructFrom(stream);
}

KvHandle<KvSipDigestCredentialsInfo>
KvSipDigestCredentialsInfo::sConstructFrom(KvInputStream& stream) {
    KvHandle<KvSipDigestCredentialsInfo> credentials(new KvSipDigestCredentialsInfo);
    KvParameters& list = credentials->m_parameters;
    bool hasResponse = false;
    // Not yet shared: filled without the lock. Local-only items are dropped as they come.
    parseItems(stream, [&list, &hasResponse](std::string_view key, const char* value) {
        const std::string_view name = trimmedName(key);
        // The first letter rules out most names without a call (every name is lower case).
        for (std::string_view local : kLocalOnlyItems)
            if (name.size() == local.size() && (name[0] | 0x20) == local[0] &&
                ::strncasecmp(name.data(), local.data(), name.size()) == 0)
                return;
        if (!value || name.empty())
            return; // what the list would refuse
        // The texts as the list keeps C texts: each ends at its first NUL.
        if (std::memchr(key.data(), '\0', key.size()))
            list.setParsedParameter(key.data(), value);
        else
            list.setParsedParameter(name, std::string_view(value));
        hasResponse = hasResponse || (name.size() == 8 && (name[0] | 0x20) == 'r' &&
                                      ::strncasecmp(name.data(), "response", 8) == 0);
    });
    // Received without a response, they could never be written: refused as they arrive, so that
    // a message that reads valid can always be written.
    if (!hasResponse)
        checkAlgorithm(list);
    return credentials;
}

void KvSipDigestCredentialsInfo::sParseParameters(KvInputStream& stream, KvParameters& list,
                                                  bool ownList) {
    parseItems(stream, [&list, ownList](std::string_view key, const char* value) {
        if (ownList)
            list.setParsedParameter(key.data(), value);
        else
            list.storeParameter(key.data(), value);
    });
}
