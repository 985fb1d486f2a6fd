#include "KvSipRequest.h"

#include "KvConstString.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvLineText.h"
#include "KvMutex.h"
#include "KvOutputStream.h"
#include "KvParameters.h"
#include "KvSipCallid.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"
#include "KvSipParseError.h"
#include "KvSipURL.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <typeinfo>
#include <vector>

namespace {

// Removes "<" and ">" from a text; null when nothing had to change.
const char* withoutAngles(const KvString& text, std::string& result) {
    if (text.isEmpty() ||
        (std::strchr(text.data(), '<') == nullptr && std::strchr(text.data(), '>') == nullptr))
        return nullptr;
    result.clear();
    for (const char* c = text.data(); *c; ++c)
        if (*c != '<' && *c != '>')
            result += *c;
    return result.c_str();
}

void stripAngles(KvURI& uri) {
    std::string cleaned;
    if (const char* scheme = withoutAngles(uri.getScheme(), cleaned))
        uri.setScheme(scheme);
    if (const char* body = withoutAngles(uri.getBody(), cleaned))
        uri.setBody(body);
}

} // namespace

KvString KvSipRequest::sCheckedMethod(const KvString& method, const char* error,
                                      const KvObject& owner) {
    if (method.isEmpty())
        KvException::sThrow(error);
    KvSipParseError::refuseLineEnd(method, owner);
    return method;
}

KvSipRequest::KvSipRequest(const KvString& method)
    : m_method(sCheckedMethod(method, "KvSipRequest constructor expects a Method Name", *this)),
      m_requestURIPending(true) {}

KvSipRequest::KvSipRequest(const char* method) : KvSipRequest(KvString(method)) {}

KvSipRequest::KvSipRequest() = default;

KvSipRequest::KvSipRequest(const KvString& method, KvHandle<KvSipFromHeader> from,
                           KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                           const char* callId, uint32_t cseq, const char* contentType,
                           const char* body, uint32_t bodyLength)
    : m_method(sCheckedMethod(method, "The SIP Method cannot be NULL or EMPTY", *this)) {
    if (!to.isNull() && !to->getNameAddress().isNull())
        setRequestURIOf(to->getNameAddress()->getURI());
    buildFromValues(from, to, contact, callId, cseq, contentType, body, bodyLength);
}

KvSipRequest::KvSipRequest(const KvString& method, KvHandle<KvSipNameAddress> requestUri,
                           KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                           KvHandle<KvSipContactHeader> contact, const char* callId, uint32_t cseq,
                           const char* contentType, const char* body, uint32_t bodyLength)
    : m_method(sCheckedMethod(method, "The SIP Method cannot be NULL or EMPTY", *this)) {
    // The caller's URI itself: its URL headers go into the message and leave the URI.
    if (!requestUri.isNull())
        m_requestURI = requestUri->getURI();
    buildFromValues(from, to, contact, callId, cseq, contentType, body, bodyLength);
    moveURLHeaders(true);
}

KvSipRequest::KvSipRequest(const KvSipRequest& other)
    : KvSipMessage(other), m_method(other.m_method) {
    KvHandle<KvURI> uri = other.getRequestURI();
    if (!uri.isNull())
        m_requestURI = static_cast<KvURI*>(uri->clone());
}

KvSipRequest::~KvSipRequest() = default;

void KvSipRequest::buildFromValues(KvHandle<KvSipFromHeader>& from, KvHandle<KvSipToHeader>& to,
                                   KvHandle<KvSipContactHeader>& contact, const char* callId,
                                   uint32_t cseq, const char* contentType, const char* body,
                                   uint32_t bodyLength) {
    addHeader(KvHandle<KvSipHeader>(from));
    addHeader(KvHandle<KvSipHeader>(to));
    addHeader(KvHandle<KvSipHeader>(contact));
    if (callId && *callId) {
        addHeader(KvHandle<KvSipHeader>(new KvSipCallIdHeader(callId)));
    } else {
        KvSipCallid generated(nullptr);
        addHeader(KvHandle<KvSipHeader>(new KvSipCallIdHeader(generated.getValue())));
    }
    if (cseq == 0)
        cseq = static_cast<uint32_t>(std::rand()) % 16777215u;
    addHeader(KvHandle<KvSipHeader>(new KvSipCSeqHeader(cseq, m_method.c_str())));
    if (bodyLength > 0)
        setBody(body, contentType, bodyLength);
    else
        addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
}

bool KvSipRequest::isValid() const {
    KvLockGuard guard(m_lock);
    if (!KvSipMessage::isValid())
        return false;
    KvHandle<KvSipCSeqHeader> cseq = getCSeqHeader();
    return !cseq.isNull() && std::strcmp(cseq->getMethod(), m_method.c_str()) == 0;
}

KvHandle<KvURI> KvSipRequest::getRequestURI() const {
    KvLockGuard guard(m_lock);
    if (m_requestURIPending) {
        m_requestURIPending = false;
        m_requestURI = new KvURI();
    }
    return m_requestURI;
}

KvHandle<KvSipURL> KvSipRequest::getSipURL() const {
    KvHandle<KvURI> uri = getRequestURI();
    return KvHandle<KvSipURL>(dynamic_cast<KvSipURL*>(uri.get()));
}

void KvSipRequest::setRequestURI(KvHandle<KvURI> uri) {
    KvLockGuard guard(m_lock);
    setRequestURIUnlocked(uri);
}

void KvSipRequest::setRequestURIUnlocked(const KvHandle<KvURI>& uri) {
    m_requestURIPending = false;
    if (uri.isNull()) {
        m_requestURI.release();
        return;
    }
    KvHandle<KvURI> copy(static_cast<KvURI*>(uri->clone()));
    stripAngles(*copy);
    m_requestURI = copy;
}

void KvSipRequest::setRequestURIOf(const KvHandle<KvURI>& address) {
    KvLockGuard guard(m_lock);
    setRequestURIUnlocked(address);
    // An address's URL headers are for a request made from it, not part of a request-URI:
    // written there, a reader would take them as headers of this request.
    auto* url = dynamic_cast<KvSipURL*>(m_requestURI.get());
    if (url && url->hasHeaders())
        url->getHeaders()->removeAll();
}

void KvSipRequest::moveURLHeaders(bool fromCaller) {
    auto* url = dynamic_cast<KvSipURL*>(m_requestURI.get());
    // Asked first: asking for the list makes it, and most request-URIs have none.
    if (!url || !url->hasHeaders())
        return;
    KvHandle<KvParameters> headers = url->getHeaders();
    if (headers.isNull() || headers->getCount() == 0)
        return;
    std::vector<std::pair<std::string, std::string>> pairs;
    headers->forEach([&pairs](const char* key, const char* value) {
        pairs.emplace_back(key ? key : "", value ? value : "");
    });
    // A caller's escaped line end would cut a header line of its own; only the body may hold one.
    // Refused before the URI gives any header up.
    if (fromCaller)
        for (const auto& [key, value] : pairs)
            if (!KvConstString(key.c_str()).equalsIgnoreCase("body") &&
                KvLineText::holdsLineEnd(std::string_view(value)))
                KvSipParseError::raiseLineEnd(*this);
    headers->removeAll();
    for (const auto& [key, value] : pairs) {
        KvSipHeaderTextStream stream(value.data(), static_cast<uint32_t>(value.size()));
        if (KvConstString(key.c_str()).equalsIgnoreCase("body")) {
            KvLockGuard guard(m_lock);
            readBody(stream);
            continue;
        }
        KvHandle<KvSipHeader> header = KvSipHeader::createHeader(key.c_str());
        header->doParse(stream);
        removeHeader(key.c_str());
        addHeader(header);
    }
}

void KvSipRequest::parse(const char* methodToken, KvInputStream& stream) {
    // The method classes already hold their shared token.
    if (!(m_method == methodToken))
        m_method = methodToken;
    KvSipMessage::parse(methodToken, stream);
}

void KvSipRequest::validate() {
    // The whole check and its mark under one hold: the state is read under the lock.
    KvLockGuard guard(m_lock);
    if (!checkHeaders())
        return;
    const KvSipCSeqHeader* cseq =
        kvHeaderAs<KvSipCSeqHeader>(getHeader(KV_HEADER_CSEQ, false).get());
    if (!cseq || !m_method.equalsIgnoreCase(cseq->getMethod()))
        markInvalid();
}

void KvSipRequest::parseStartLine(KvInputStream& stream) {
    char line[LINE_BUFFER_SIZE];
    uint32_t length = 0;
    bool lineEnd = false;
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // The same bytes as the loop below takes, found and copied at once.
        const uint32_t limit = available < LINE_BUFFER_SIZE ? available : LINE_BUFFER_SIZE;
        const char* end = static_cast<const char*>(std::memchr(bytes, '\n', limit));
        length = end ? static_cast<uint32_t>(end - bytes) : limit;
        lineEnd = end != nullptr;
        std::memcpy(line, bytes, length);
        stream.skip(length + (lineEnd ? 1 : 0));
    } else {
        while (length < LINE_BUFFER_SIZE) {
            int c = stream.read();
            if (c < 0)
                break;
            if (c == '\n') {
                lineEnd = true;
                break;
            }
            line[length++] = static_cast<char>(c);
        }
    }
    if (!lineEnd) {
        if (length < LINE_BUFFER_SIZE)
            KvSipParseError::raise("Invalid Start-Line for SIP request");
        // Too long: answerable with 414; the headers behind the line are still read.
        setDamage(414);
        for (int c = stream.read(); c >= 0 && c != '\n'; c = stream.read()) {
        }
        KvSipParseError::raise("Invalid Start-Line for SIP request");
    }
    if (length > 0 && line[length - 1] == '\r')
        --length;
    while (length > 0 && line[length - 1] == ' ')
        --length;
    if (length <= 1)
        KvSipParseError::raise("Invalid Start-Line for SIP request");
    uint32_t space = length - 1;
    while (space > 0 && line[space] != ' ')
        --space;
    if (space == 0)
        KvSipParseError::raise("Invalid Start-Line for SIP request");

    const char* version = line + space + 1;
    uint32_t versionLength = length - space - 1;
    if (versionLength != 7 || std::memcmp(version, "SIP/", 4) != 0)
        KvSipParseError::raise("Invalid SIP Version");
    if (version[4] != '2' || version[5] != '.' || version[6] != '0') {
        setDamage(505);
        KvSipParseError::raise("Invalid SIP Version");
    }
    setVersion(2, 0);

    line[space] = '\r';
    line[space + 1] = '\n';
    KvSipHeaderTextStream uriText(line, space + 2);
    KvHandle<KvURI> uri = KvURI::createURI(uriText, true);
    if (uri.isNull())
        KvSipParseError::raise("Invalid SIP URI");
    m_requestURIPending = false;
    m_requestURI = std::move(uri);
    // A sip URL has read its scheme as "sip", and keeps no unparsed text with angles in it: it
    // has only its headers to hand over, when it has any.
    if (m_requestURI->isSipURL()) {
        if (m_requestURI->hasHeaders())
            moveURLHeaders(false);
        return;
    }
    const KvString scheme = m_requestURI->getScheme();
    if (!scheme.equalsIgnoreCase("sip") && !scheme.equalsIgnoreCase("tel")) {
        setDamage(416);
        KvSipParseError::raise("Upsupported Scheme");
    }
    moveURLHeaders(false);
    stripAngles(*m_requestURI);
}

void KvSipRequest::serializeStartLine(KvOutputStream& stream) const {
    KvHandle<KvURI> uri = getRequestURI();
    if (m_method.isEmpty() || uri.isNull())
        KvSipParseError::raise("Invalid start-line for SIP request");
    stream.write(m_method.data(), m_method.length(), 0);
    stream.write(" ", 1, 0);
    if (uri->isSipURL()) {
        static_cast<const KvSipURL*>(uri.get())->write(stream);
    } else {
        const KvString text = uri->serialize();
        stream.write(text.data(), text.length(), 0);
    }
    stream << " SIP/" << static_cast<unsigned>(getMajorVersion()) << '.'
           << static_cast<unsigned>(getMinorVersion()) << "\r\n";
}

void KvSipRequest::requirePart(bool present, const char* source, const char* part) const {
    if (present)
        return;
    std::string text = "Can't build ";
    text += m_method.c_str();
    text += ": the ";
    text += source;
    text += " has no ";
    text += part;
    KvException::sThrow(text.c_str());
}

void KvSipRequest::setPeerURI(const KvSipMessage& source, const char* sourceName, bool toContact) {
    KvHandle<KvSipContactHeader> contact = source.getContactHeader();
    KvHandle<KvSipToHeader> to = source.getToHeader();
    KvHandle<KvURI> uri;
    if (toContact && !contact.isNull() && !contact->getNameAddress().isNull()) {
        uri = contact->getNameAddress()->getURI();
        requirePart(!contact->isWildcard() && !uri.isNull() && !uri->getScheme().isEmpty(),
                    sourceName, "Contact address for the request-URI");
    } else if (!to.isNull() && !to->getNameAddress().isNull()) {
        uri = to->getNameAddress()->getURI();
        requirePart(uri.isNull() || !uri->getScheme().isEmpty(), sourceName,
                    "To address for the request-URI");
    }
    requirePart(!uri.isNull(), sourceName, "address for the request-URI");
    setRequestURIOf(uri);
}

void KvSipRequest::addCallHeaders(const KvSipMessage& source, const char* sourceName,
                                  uint32_t cseqStep) {
    KvHandle<KvSipFromHeader> from = source.getFromHeader();
    KvHandle<KvSipToHeader> to = source.getToHeader();
    KvHandle<KvSipCallIdHeader> callId = source.getCallIdHeader();
    KvHandle<KvSipCSeqHeader> cseq = source.getCSeqHeader();
    requirePart(!from.isNull(), sourceName, "From header");
    requirePart(!to.isNull(), sourceName, "To header");
    requirePart(!callId.isNull(), sourceName, "Call-ID header");
    requirePart(!cseq.isNull(), sourceName, "CSeq header");

    addHeader(KvHandle<KvSipHeader>(new KvSipFromHeader(*from)));
    addHeader(KvHandle<KvSipHeader>(new KvSipToHeader(*to)));
    addHeader(KvHandle<KvSipHeader>(new KvSipCallIdHeader(callId->getCallIdText())));
    addHeader(
        KvHandle<KvSipHeader>(new KvSipCSeqHeader(cseq->getNumber() + cseqStep, m_method.c_str())));
}
