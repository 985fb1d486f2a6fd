#include "KvSipCredentialsInfo.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvSipDigestCredentialsInfo.h"
#include "KvStreamTokenizer.h"

#include <cstring>
#include <strings.h>

KvSipCredentialsInfo::~KvSipCredentialsInfo() = default;

KvHandle<KvSipCredentialsInfo>
KvSipCredentialsInfo::sConstructFrom(const char* scheme, const KvHandle<KvByteArray>& text) {
    if (scheme && ::strcasecmp(scheme, "Digest") == 0) {
        return KvHandle<KvSipCredentialsInfo>(KvSipDigestCredentialsInfo::sConstructFrom(text));
    }
    KvException::sThrow("Credentials type not supported !");
}

KvHandle<KvSipCredentialsInfo> KvSipCredentialsInfo::sConstructFrom(std::string_view scheme,
                                                                    KvInputStream& text) {
    if (scheme.size() == 6 && ::strncasecmp(scheme.data(), "Digest", 6) == 0) {
        return KvHandle<KvSipCredentialsInfo>(KvSipDigestCredentialsInfo::sConstructFrom(text));
    }
    KvException::sThrow("Credentials type not supported !");
}

void KvSipCredentialsInfo::sSplitSchemeLine(KvInputStream& stream, KvString& line,
                                            std::string_view& scheme, std::string_view& text) {
    const char* begin = nullptr;
    uint32_t length = 0;
    KvStreamTokenizer::skipWhitespace(stream);
    uint32_t available = 0;
    const char* bytes = stream.peek(available);
    if (bytes) {
        // The line in place: up to CR or LF, past a whole line end. A CR alone is left to the line
        // reader below, which refuses it.
        const char* end = static_cast<const char*>(std::memchr(bytes, '\n', available));
        length = end ? static_cast<uint32_t>(end - bytes) : available;
        if (const void* cr = std::memchr(bytes, '\r', length))
            length = static_cast<uint32_t>(static_cast<const char*>(cr) - bytes);
        uint32_t lineEnd = 0;
        if (length < available)
            lineEnd = bytes[length] == '\n'                                 ? 1
                      : length + 1 < available && bytes[length + 1] == '\n' ? 2
                                                                            : 0;
        if (length == available || lineEnd) {
            stream.mark(-1);
            stream.skip(length + lineEnd);
            begin = bytes;
        }
    }
    if (!begin) {
        line = KvStreamTokenizer::readLine(stream);
        begin = line.c_str();
        length = line.length();
    }
    // The texts end at a NUL, as C texts would.
    if (const void* nul = std::memchr(begin, '\0', length))
        length = static_cast<uint32_t>(static_cast<const char*>(nul) - begin);
    const std::string_view whole(begin, length);
    // The scheme is a short word: a plain loop finds its end sooner than a search per byte.
    size_t blank = 0;
    while (blank < length && whole[blank] != ' ' && whole[blank] != '\t')
        ++blank;
    if (blank == length) {
        scheme = text = whole;
        return;
    }
    scheme = whole.substr(0, blank);
    text = whole.substr(blank + 1);
}
