#include "KvSipHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipHeaders.h"
#include "KvSipParseError.h"

#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool isLineSpace(int c) {
    return c == ' ' || c == '\t';
}

bool isWhite(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Header names compare ignoring ASCII case; lookups take the text as it stands in the message.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const {
        size_t h = 2166136261u;
        for (char c : name)
            h = (h ^ static_cast<unsigned char>(lowerAscii(c))) * 16777619u;
        return h;
    }
};

struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (lowerAscii(a[i]) != lowerAscii(b[i]))
                return false;
        return true;
    }
};

// Reads one header line into line and unfolds it: blanks before the line are passed over, CR
// is dropped, and a line end followed by a blank or tab continues the line with one blank in place
// of the line end (RFC 3261 7.3.1). The bytes come in chunks under a mark; what lies behind the
// line is given back by reset and skip. The whole line is consumed even when it does not fit.
struct LineRead {
    uint32_t length = 0;    // CR LF appended
    bool fits = true;       // false: longer than the buffer, cut
    bool streamEnd = false; // the stream ended before a line end
};

LineRead readUnfoldedLine(KvInputStream& stream, char* line) {
    const uint32_t limit = KvSipHeader::LINE_BUFFER_SIZE - 2;
    char chunk[256];
    LineRead result;
    uint32_t n = 0;
    int64_t consumed = 0;
    bool started = false;
    bool lineEnd = false;
    bool done = false;
    stream.mark(-1);
    while (!done) {
        int32_t got = stream.read(chunk, sizeof(chunk), 0);
        if (got <= 0) {
            result.streamEnd = !lineEnd;
            break;
        }
        for (int32_t i = 0; i < got; ++i) {
            char c = chunk[i];
            if (!started) {
                if (isLineSpace(static_cast<unsigned char>(c))) {
                    ++consumed;
                    continue;
                }
                started = true;
            }
            if (lineEnd) {
                if (!isLineSpace(static_cast<unsigned char>(c))) {
                    done = true;
                    break;
                }
                lineEnd = false;
                c = ' ';
            } else if (c == '\r') {
                ++consumed;
                continue;
            } else if (c == '\n') {
                lineEnd = true;
                ++consumed;
                continue;
            }
            ++consumed;
            if (n < limit)
                line[n++] = c;
            else
                result.fits = false;
        }
    }
    stream.reset();
    stream.skip(consumed);
    line[n++] = '\r';
    line[n++] = '\n';
    result.length = n;
    return result;
}

} // namespace

// One process-wide map from header name to creator. Filled by the registrars before main and only
// read afterwards, so it needs no lock; it is never destroyed, so late users still find it.
class KvSipHeaderRegistry {
public:
    static KvSipHeaderRegistry& instance() {
        static KvSipHeaderRegistry* registry = new KvSipHeaderRegistry;
        return *registry;
    }

    // A second registration of a name keeps the first.
    void add(const char* name, KvSipHeader::Creator creator) {
        if (name && *name && creator)
            m_creators.emplace(std::string(name), creator);
    }

    KvSipHeader::Creator find(std::string_view name) const {
        auto found = m_creators.find(name);
        return found == m_creators.end() ? nullptr : found->second;
    }

private:
    std::unordered_map<std::string, KvSipHeader::Creator, NameHash, NameEqual> m_creators;
};

KvSipHeader::KvSipHeader(const KvString& token) : m_name(token), m_id(KV_HEADER_NONE) {}

KvSipHeader::KvSipHeader(const KvSipHeader& other)
    : KvObject(other), m_name(other.m_name), m_id(other.m_id) {}

KvSipHeader::~KvSipHeader() {
    // Let go of the chain behind us one header at a time: a long chain must not recurse once per
    // header through the destructors.
    KvHandle<KvSipHeader> next = std::move(m_next);
    while (!next.isNull() && next->getRefCount() == 1) {
        KvHandle<KvSipHeader> after = std::move(next->m_next);
        next = std::move(after);
    }
}

const KvString& KvSipHeader::getCompactToken() const {
    return getToken();
}

void KvSipHeader::appendToChain(const KvHandle<KvSipHeader>& header) {
    if (header.isNull())
        return;
    KvSipHeader* last = this;
    while (!last->m_next.isNull())
        last = last->m_next.get();
    last->m_next = header;
}

void KvSipHeader::serializeChain(KvOutputStream& stream) const {
    for (const KvSipHeader* header = this; header; header = header->m_next.get()) {
        stream.write(header->m_name.data(), header->m_name.length(), 0);
        stream.write(": ", 2, 0);
        header->serialize(stream);
        stream.write("\r\n", 2, 0);
    }
}

void KvSipHeader::registerHeader(const char* name, Creator creator) {
    KvSipHeaderRegistry::instance().add(name, creator);
}

KvHandle<KvSipHeader> KvSipHeader::createHeader(const char* name) {
    return createHeader(name, name ? static_cast<uint32_t>(std::strlen(name)) : 0);
}

KvHandle<KvSipHeader> KvSipHeader::createHeader(const char* name, uint32_t length) {
    if (name) {
        if (Creator creator = KvSipHeaderRegistry::instance().find(std::string_view(name, length)))
            return KvHandle<KvSipHeader>(creator());
    }
    KvString text(name ? KvStringBuffer::create(name, length, length + 1) : nullptr);
    return KvHandle<KvSipHeader>(new KvSipUnknownHeader(text, KvString()));
}

KvHandle<KvSipHeader> KvSipHeader::sConstructFrom(KvInputStream& stream) {
    char line[LINE_BUFFER_SIZE];
    LineRead read = readUnfoldedLine(stream, line);
    const uint32_t textLength = read.length - 2;

    // The name runs to the colon; a line without one is all name and has an empty value, unless
    // the stream ended before the line did.
    const char* colon = static_cast<const char*>(std::memchr(line, ':', textLength));
    if (!colon && read.streamEnd)
        KvSipParseError::raise("Header token expected");
    const uint32_t valueStart = colon ? static_cast<uint32_t>(colon - line) + 1 : textLength;
    uint32_t nameLength = colon ? static_cast<uint32_t>(colon - line) : textLength;
    while (nameLength > 0 && isWhite(static_cast<unsigned char>(line[nameLength - 1])))
        --nameLength;
    if (nameLength == 0 || nameLength >= NAME_BUFFER_SIZE)
        KvSipParseError::raise("Header token expected");
    if (!read.fits)
        KvSipParseError::raise("Header line too long");
    const char* name = line;

    KvHandle<KvSipHeader> header = createHeader(name, nameLength);
    // A parsed header keeps its name as written; the class's own tokens are shared, not copied.
    auto isName = [&](const KvString& text) {
        return text.length() == nameLength && std::memcmp(text.data(), name, nameLength) == 0;
    };
    if (!isName(header->m_name)) {
        if (isName(header->getToken()))
            header->m_name = header->getToken();
        else if (isName(header->getCompactToken()))
            header->m_name = header->getCompactToken();
        else
            header->m_name = KvString(KvStringBuffer::create(name, nameLength, nameLength + 1));
    }

    KvSipHeaderTextStream value(line + valueStart, read.length - valueStart);

    // Comma rule: each comma outside what a class's parser reads starts a sibling of the same
    // class, linked behind the one before it.
    KvSipHeader* current = header.get();
    for (;;) {
        current->doParse(value);
        int c;
        do {
            c = value.read();
        } while (c >= 0 && c != ',');
        if (c < 0)
            break;
        KvHandle<KvSipHeader> sibling =
            createHeader(current->getToken().data(), current->getToken().length());
        current->m_next = sibling;
        current = sibling.get();
    }
    return header;
}
