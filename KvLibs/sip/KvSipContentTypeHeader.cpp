#include "KvSipContentTypeHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <cstring>

void kvSipSkipParameterValue(KvInputStream& stream) {
    bool quoted = false;
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0)
            return;
        if (quoted) {
            if (c == '\\')
                stream.read();
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == ';' || c == ',' || c == '\r' || c == '\n') {
            stream.reset();
            return;
        }
    }
}

KvSipContentTypeHeader::KvSipContentTypeHeader() = default;

KvSipContentTypeHeader::KvSipContentTypeHeader(const char* mediaType) : KvSipContentTypeHeader() {
    setMediaType(mediaType);
}

KvSipContentTypeHeader::KvSipContentTypeHeader(const KvSipContentTypeHeader& other)
    : KvSipHeaderClass(other), m_type(other.m_type), m_subtype(other.m_subtype),
      m_parameters(static_cast<KvParameters*>(other.getParameters()->clone())) {}

const KvHandle<KvParameters>& KvSipContentTypeHeader::getParameters() const {
    std::call_once(m_parametersMade, [this] {
        if (m_parameters.isNull())
            m_parameters = new KvParameters();
    });
    return m_parameters;
}

void KvSipContentTypeHeader::sSplitMediaType(const char* mediaType, KvString& type,
                                             KvString& subtype) {
    if (!mediaType) {
        type = "*";
        subtype = "*";
        return;
    }
    const char* slash = std::strchr(mediaType, '/');
    if (!slash) {
        type = mediaType;
        subtype = "*";
        return;
    }
    uint32_t typeLength = static_cast<uint32_t>(slash - mediaType);
    type = KvString(typeLength ? KvStringBuffer::create(mediaType, typeLength, typeLength + 1)
                               : nullptr);
    subtype = slash + 1;
}

namespace {
// Type and subtype as read: in the stream's own bytes, or held here for a stream without them.
struct MediaRangeText {
    char typeBuffer[64];
    char subtypeBuffer[64];
    KvString typeLonger;
    KvString subtypeLonger;
    std::string_view type;
    std::string_view subtype;

    // Reads type "/" subtype and, behind a ";", the parameters into list(); false when a part is
    // missing.
    template <class List> bool parse(KvInputStream& stream, const List& list) {
        if (parseShown(stream, list))
            return true;
        // The type ends at any separator, not only at "/": a list element without "/" must not
        // swallow the elements behind it.
        type = KvStreamTokenizer::takeToken(stream, kvSipTokenSeparatorClass, typeBuffer,
                                            sizeof typeBuffer, typeLonger);
        if (type.empty() || KvStreamTokenizer::skipWhitespace(stream) != '/')
            return false;
        stream.read();
        subtype = KvStreamTokenizer::takeToken(stream, kvSipTokenSeparatorClass, subtypeBuffer,
                                               sizeof subtypeBuffer, subtypeLonger);
        if (subtype.empty())
            return false;
        if (KvStreamTokenizer::skipWhitespace(stream) == ';') {
            stream.read();
            list().parse(stream);
        }
        return true;
    }

    // The same from the bytes the stream shows, the stream moved once and left as above; false,
    // with nothing read, for anything but a whole type and subtype there.
    template <class List> bool parseShown(KvInputStream& stream, const List& list) {
        uint32_t available = 0;
        const char* bytes = stream.peek(available);
        if (!bytes)
            return false;
        auto blanksFrom = [&](uint32_t at) {
            return KvStreamTokenizer::whitespaceEnd(bytes, available, at);
        };
        auto tokenAt = [&](uint32_t at) {
            return std::string_view(
                bytes + at, kvSipTokenSeparatorClass.spanOutside(bytes + at, available - at));
        };
        const uint32_t typeStart = blanksFrom(0);
        const std::string_view typeText = tokenAt(typeStart);
        const uint32_t slash = blanksFrom(typeStart + static_cast<uint32_t>(typeText.size()));
        if (typeText.empty() || slash == available || bytes[slash] != '/')
            return false;
        const uint32_t subtypeStart = blanksFrom(slash + 1);
        const std::string_view subtypeText = tokenAt(subtypeStart);
        if (subtypeText.empty())
            return false;
        const uint32_t end = blanksFrom(subtypeStart + static_cast<uint32_t>(subtypeText.size()));
        type = typeText;
        subtype = subtypeText;
        stream.skip(end);
        stream.mark(1);
        if (end < available && bytes[end] == ';') {
            stream.skip(1);
            list().parse(stream);
        }
        return true;
    }
};

// An empty text gives an empty string. Its bytes lie in the message and end with no NUL, so
// they are never handed over without their length (a length of 0 would mean "up to the NUL").
KvString stringOf(std::string_view text) {
    const auto length = static_cast<uint32_t>(text.size());
    return KvString(KvStringBuffer::create(length ? text.data() : nullptr, length, length + 1));
}
} // namespace

bool KvSipContentTypeHeader::sParseMediaRange(KvInputStream& stream, KvString& type,
                                              KvString& subtype, KvParameters& parameters) {
    MediaRangeText range;
    const bool parsed =
        range.parse(stream, [&parameters]() -> KvParameters& { return parameters; });
    type = stringOf(range.type);
    if (range.subtype.data()) // read, if only to be found empty
        subtype = stringOf(range.subtype);
    return parsed;
}

namespace {
// A "type/subtype" or lone type text of tokens alone, the usual text: split as it stands.
bool isPlainMediaType(std::string_view text) {
    const size_t type = kvSipTokenSeparatorClass.spanOutside(text.data(), text.size());
    if (type == text.size())
        return type != 0;
    if (type == 0 || text[type] != '/')
        return false;
    const std::string_view subtype = text.substr(type + 1);
    return !subtype.empty() &&
           kvSipTokenSeparatorClass.spanOutside(subtype.data(), subtype.size()) == subtype.size();
}
} // namespace

bool KvSipContentTypeHeader::readMediaType(const char* text, KvString& type, KvString& subtype,
                                           KvParameters& parameters, bool list) {
    const std::string_view view(text);
    if (isPlainMediaType(view)) {
        sSplitMediaType(text, type, subtype);
        return true;
    }
    // As written: a text without "/" gets the subtype "*".
    std::string withSubtype;
    if (view.find('/') == std::string_view::npos)
        withSubtype.append(view).append("/*");
    const std::string_view written = withSubtype.empty() ? view : std::string_view(withSubtype);
    KvSipHeaderTextStream stream(written.data(), static_cast<uint32_t>(written.size()));
    if (!sParseMediaRange(stream, type, subtype, parameters))
        return false;
    // A second media type, after a comma, would be read as another header: a list's reader makes
    // one of each part, so each must be a whole range.
    while (list && KvStreamTokenizer::skipWhitespace(stream) == ',') {
        stream.read();
        KvString nextType;
        KvString nextSubtype;
        KvParameters nextParameters;
        if (!sParseMediaRange(stream, nextType, nextSubtype, nextParameters))
            return false;
    }
    return KvStreamTokenizer::skipWhitespace(stream) < 0;
}

void KvSipContentTypeHeader::sRaiseInvalidMediaType(const KvObject& header) {
    KvSipParseError::raise(
        (std::string("Attempting to set ") + header.getClassName() + " with an invalid media type")
            .c_str());
}

void KvSipContentTypeHeader::sRefuseInvalidMediaType(const char* mediaType, const KvObject& header,
                                                     bool list) {
    if (!mediaType || isPlainMediaType(mediaType))
        return;
    KvString type;
    KvString subtype;
    KvParameters parameters;
    if (!readMediaType(mediaType, type, subtype, parameters, list))
        sRaiseInvalidMediaType(header);
}

void KvSipContentTypeHeader::setMediaType(const char* mediaType) {
    KvSipParseError::refuseLineEnd(mediaType, *this);
    KvString type;
    KvString subtype;
    // What is split here is written as it stands: it must read back as one media type.
    sRefuseInvalidMediaType(mediaType, *this);
    sSplitMediaType(mediaType, type, subtype);
    m_type.setText(type.data(), type.length());
    m_subtype.setText(subtype.data(), subtype.length());
}

void KvSipContentTypeHeader::setValue(const char* contentType) {
    KvSipParseError::refuseLineEnd(contentType, *this);
    KvString type;
    KvString subtype;
    KvParameters parameters;
    if (!contentType)
        sSplitMediaType(contentType, type, subtype);
    else if (!readMediaType(contentType, type, subtype, parameters))
        sRaiseInvalidMediaType(*this);
    m_type.setText(type.data(), type.length());
    m_subtype.setText(subtype.data(), subtype.length());
    const KvHandle<KvParameters>& list = getParameters();
    if (list->getCount() != 0 || parameters.getCount() != 0)
        *list = parameters;
}

KvString KvSipContentTypeHeader::getMediaType() const {
    KvString text(KvStringBuffer::create(m_type.c_str(), m_type.length(),
                                         m_type.length() + m_subtype.length() + 2));
    text += "/";
    text += m_subtype.c_str();
    return text;
}

void KvSipContentTypeHeader::doParse(KvInputStream& stream) {
    // A new header's list is empty: no need to take its lock.
    if (!m_parameters.isNull() && m_parameters->getCount() != 0)
        m_parameters->removeAll();
    MediaRangeText range;
    if (!range.parse(stream, [this]() -> KvParameters& { return *getParameters(); }))
        KvSipParseError::raise("Invalid Content-Type header");
    m_type.setText(range.type.data(), static_cast<uint32_t>(range.type.size()));
    m_subtype.setText(range.subtype.data(), static_cast<uint32_t>(range.subtype.size()));
}

void KvSipContentTypeHeader::serialize(KvOutputStream& stream) const {
    stream << m_type << '/' << m_subtype;
    // Through the getter: another thread may be making the list.
    const KvHandle<KvParameters>& parameters = getParameters();
    if (parameters->getCount() > 0) {
        stream << ';';
        parameters->writeTo(stream);
    }
}
