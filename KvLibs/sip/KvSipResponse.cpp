#include "KvSipResponse.h"

#include "KvInputStream.h"
#include "KvMutex.h"
#include "KvOutputStream.h"
#include "KvSipAuthenticateHeader.h"
#include "KvSipHeaders.h"
#include "KvSipParseError.h"
#include "KvSipRequest.h"
#include "KvSipStatusCode.h"
#include "KvSipTextHeader.h"
#include "KvStreamTokenizer.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

void skipBlanks(KvInputCursor& cursor) {
    uint32_t available = 0;
    if (const char* bytes = cursor.rest(available)) {
        // Left as below: at the first other byte, marked there.
        uint32_t n = 0;
        while (n < available && (bytes[n] == ' ' || bytes[n] == '\t'))
            ++n;
        cursor.advance(n);
        cursor.mark();
        return;
    }
    for (;;) {
        cursor.mark();
        int c = cursor.read();
        if (c != ' ' && c != '\t') {
            cursor.reset();
            return;
        }
    }
}

// A decimal number on the current line: blanks before it skipped, saturated instead of wrapped, so
// an over-long number can never pass for a small one. Returns false when no digit follows.
bool readNumber(KvInputCursor& cursor, uint64_t& value) {
    skipBlanks(cursor);
    value = 0;
    auto add = [&value](int c) {
        if (value <= UINT32_MAX)
            value = value * 10 + static_cast<uint64_t>(c - '0');
    };
    uint32_t available = 0;
    if (const char* bytes = cursor.rest(available)) {
        uint32_t n = 0;
        for (; n < available && bytes[n] >= '0' && bytes[n] <= '9'; ++n)
            add(bytes[n]);
        cursor.advance(n);
        cursor.mark();
        return n > 0;
    }
    bool digits = false;
    for (;;) {
        cursor.mark();
        int c = cursor.read();
        if (c < '0' || c > '9') {
            cursor.reset();
            return digits;
        }
        digits = true;
        add(c);
    }
}

void skipRestOfLine(KvInputCursor& cursor) {
    for (int c = cursor.read(); c >= 0 && c != '\n'; c = cursor.read()) {
    }
}

// The phrase as a string: the common ones shared, costing no allocation.
KvString phraseText(const char* text, uint32_t length) {
    static const KvString phrases[] = {"OK", "Trying", "Ringing", "Session Progress"};
    static const bool permanent = KvSipTextHeader::sMakePermanent(phrases, std::size(phrases));
    (void)permanent;
    return KvSipTextHeader::sSharedText(phrases, std::string_view(text, length));
}

} // namespace

KvSipResponse::KvSipResponse() : m_statusCode(0) {}

KvSipResponse::KvSipResponse(int32_t statusCode, KvHandle<KvSipRequest> request, const char* body,
                             const char* contentType, uint32_t bodyLength)
    : m_statusCode(statusCode) {
    if (statusCode < MIN_STATUS_CODE || statusCode > MAX_STATUS_CODE)
        KvSipParseError::raise("Invalid Response code");
    if (request.isNull())
        KvSipParseError::raise("Handle to request is NIL");
    m_reasonPhrase = reasonPhraseForCode(statusCode);

    // The request's headers are read through its locked getters, its chains under its lock; a
    // missing one is skipped.
    addHeaderUnlocked(cloneChain(*request, KV_HEADER_VIA));
    KvHandle<KvSipFromHeader> from = request->getFromHeader();
    if (!from.isNull())
        addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipFromHeader(*from)));
    KvHandle<KvSipToHeader> to = request->getToHeader();
    if (!to.isNull())
        addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipToHeader(*to)));
    KvHandle<KvSipCallIdHeader> callId = request->getCallIdHeader();
    if (!callId.isNull())
        addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipCallIdHeader(*callId)));
    KvHandle<KvSipCSeqHeader> cseq = request->getCSeqHeader();
    if (!cseq.isNull()) {
        if (*cseq->getMethod())
            addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipCSeqHeader(*cseq)));
        else
            addHeaderUnlocked(KvHandle<KvSipHeader>(
                new KvSipCSeqHeader(cseq->getNumber(), request->getMethod().c_str())));
    }

    const KvString& method = request->getMethod();
    if (method == "BYE" || method == "CANCEL") {
        addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
    } else {
        if (bodyLength > 0)
            setBody(body, contentType, bodyLength);
        else
            addHeaderUnlocked(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
        if (statusCode / 100 == 2)
            addHeaderUnlocked(cloneChain(*request, KV_HEADER_RECORD_ROUTE));
    }
    // Over TCP the answer goes back on the connection the request came in on.
    if (request->getTransport() == KV_TRANSPORT_TCP)
        copyPeer(*request);
    validate();
}

KvSipResponse::KvSipResponse(const KvSipResponse& other)
    : KvSipMessage(other), m_statusCode(other.m_statusCode), m_reasonPhrase(other.m_reasonPhrase) {}

KvSipResponse::~KvSipResponse() = default;

KvObject* KvSipResponse::clone() const {
    return new KvSipResponse(*this);
}

KvHandle<KvSipAuthenticateHeader> KvSipResponse::getAuthenticateHeader() const {
    KvHandle<KvSipHeader> header = getHeader(KV_HEADER_WWW_AUTHENTICATE);
    if (header.isNull())
        header = getHeader(KV_HEADER_PROXY_AUTHENTICATE);
    return KvHandle<KvSipAuthenticateHeader>(dynamic_cast<KvSipAuthenticateHeader*>(header.get()));
}

void KvSipResponse::parseStartLine(KvInputStream& stream) {
    // Read from memory when the stream shows its bytes, else byte by byte.
    KvInputCursor cursor(stream);
    cursor.read(); // the "/" after "SIP"
    uint64_t major = 0;
    uint64_t minor = 0;
    uint64_t code = 0;
    const char* error = nullptr;
    if (!readNumber(cursor, major)) {
        error = "unsigned number expected";
    } else {
        cursor.mark();
        if (cursor.read() != '.') {
            cursor.reset();
            error = "'.' expected in response start line";
        } else if (!readNumber(cursor, minor)) {
            error = "unsigned number expected";
        }
    }
    if (!error) {
        setVersion(static_cast<uint8_t>(major), static_cast<uint8_t>(minor));
        // A code outside the classes is the receiver's to judge; one too large for the field
        // would be stored as another code.
        if (!readNumber(cursor, code))
            error = "unsigned number expected";
        else if (code > static_cast<uint64_t>(INT32_MAX))
            error = "Invalid Response code";
    }
    if (error) {
        // The rest of the status line is no header: leave the stream at the next line.
        skipRestOfLine(cursor);
        KvSipParseError::raise(error);
    }
    m_statusCode = static_cast<int32_t>(code);

    // The reason phrase runs to the line end, however long; it may be empty.
    skipBlanks(cursor);
    uint32_t available = 0;
    if (const char* text = cursor.rest(available)) {
        const uint32_t length = KvStreamTokenizer::lineLengthIn(text, available);
        cursor.advance(length);
        m_reasonPhrase = length ? phraseText(text, length) : KvString();
    } else {
        stream.mark(-1);
        uint32_t length = 0;
        int c;
        for (c = stream.read(); c >= 0 && c != '\r' && c != '\n'; c = stream.read())
            ++length;
        stream.reset();
        m_reasonPhrase = length ? KvStringBuffer::readBytes(nullptr, stream, length) : nullptr;
    }
    if (cursor.read() == '\r') {
        cursor.mark();
        if (cursor.read() != '\n') {
            cursor.reset();
            KvSipParseError::raise("carriage return without newline");
        }
    }
}

void KvSipResponse::serializeStartLine(KvOutputStream& stream) const {
    stream << "SIP/" << static_cast<unsigned>(getMajorVersion()) << '.'
           << static_cast<unsigned>(getMinorVersion()) << ' ' << m_statusCode << ' '
           << m_reasonPhrase << "\r\n";
}
