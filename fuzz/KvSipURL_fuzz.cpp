// A SIP URL (request-line form), then a name-address, read from the same bytes and written back;
// what is written must read back to the same text.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvFuzzSupport.h"
#include "KvSipNameAddress.h"
#include "KvSipURL.h"
#include "KvTelURL.h"
#include "KvURI.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <strings.h>

namespace {

// A text whose round trip is not expected to hold.
struct KvFuzzSkip {};

bool onlyOf(const KvString& text, const char* marks) {
    for (const char* c = text.data(); c && *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && !std::strchr(marks, *c))
            return false;
    return true;
}

bool isHost(const KvString& host) {
    if (host.isEmpty() || host.data()[0] != '[')
        return onlyOf(host, "-.");
    std::string_view text(host.data(), host.length());
    return text.back() == ']' &&
           text.find_first_not_of("0123456789abcdefABCDEF:.", 1) == text.size() - 1;
}

// Throws KvFuzzSkip for a URI whose text is not expected to come back the same when read again.
// The readers accept much that the writers do not reproduce; only URIs whose parts hold what RFC
// 3261 allows there are checked.
void skipMalformed(const KvHandle<KvURI>& uri) {
    KvString written = uri->serialize();
    std::string text =
        written.isEmpty() ? std::string() : std::string(written.data(), written.length());
    // A URI holds no blanks, and the URL reader takes double-quoted stretches whole (an open quote
    // takes the rest of the line, the ">" of a bracketed address included) and the writer writes
    // them as they are; a parameter without a name is lost when its list is written back in reverse
    // order; an "@" in a parameter makes the reader take what precedes it for a user part, and a
    // comma in one ends the list when it is read again.
    size_t parameters = text.find(';');
    if (text.find_first_of("\" \t") != std::string::npos || kvFuzzHasEmptyParameter(text) ||
        (parameters != std::string::npos &&
         text.find_first_of("@,", parameters) != std::string::npos))
        throw KvFuzzSkip();
    // A URL header part decodes escapes before it looks for delimiters, so an escaped control
    // character (a line end among them) acts as one when read again.
    size_t headers = uri->isSipURL() ? text.find('?') : std::string::npos;
    if (headers != std::string::npos) {
        for (size_t at = text.find('%', headers); at != std::string::npos && at + 1 < text.size();
             at = text.find('%', at + 1))
            if (text[at + 1] == '0' || text[at + 1] == '1' || text.compare(at, 3, "%7f") == 0)
                throw KvFuzzSkip();
        // An escaped NUL leaves a header value empty, which the reader refuses.
        for (size_t start = headers + 1; start <= text.size();) {
            size_t end = std::min(text.find('&', start), text.size());
            size_t equals = text.find('=', start);
            if (equals == std::string::npos || equals + 1 >= end)
                throw KvFuzzSkip();
            start = end + 1;
        }
    }
    if (auto* url = dynamic_cast<KvSipURL*>(uri.get())) {
        // An "@" before the scheme's colon, a "[" in a user part or a port left in the host are
        // taken apart in ways that the writer does not reproduce.
        if (!onlyOf(url->getUser(), "-_.!~*'()%&=+$,;?/") ||
            !onlyOf(url->getPassword(), "-_.!~*'()%&=+$,") || !isHost(url->getHost()))
            throw KvFuzzSkip();
    } else if (dynamic_cast<KvTelURL*>(uri.get())) {
        // A tel number of digits and visual separators, with a "+" only in front (the reader
        // keeps only the first); without one, the parameters are read as the number.
        std::string number = text.substr(4, std::min(text.find(';'), text.size()) - 4);
        if (number.empty() || !onlyOf(KvString(number.c_str()), "+-.()*#") ||
            number.find('+', 1) != std::string::npos)
            throw KvFuzzSkip();
    } else {
        // Another scheme: its text is whatever stands before the colon, and the kind is chosen by
        // the first three letters, so only a real scheme name that does not start like "sip" or
        // "tel" is expected back as the same kind; and a bare one ends at a comma (the next
        // element of a header list), so commas that came between "<" and ">" are not.
        KvString scheme = uri->getScheme();
        if (!onlyOf(scheme, "+-.") || text.find(',') != std::string::npos ||
            (scheme.length() >= 3 && (strncasecmp(scheme.data(), "sip", 3) == 0 ||
                                      strncasecmp(scheme.data(), "tel", 3) == 0)))
            throw KvFuzzSkip();
    }
}

// The URL read from the text in request-line form, written back; throws what the parser throws.
std::string rewriteURI(const std::string& text) {
    KvByteArrayInputStream in(
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
    KvHandle<KvURI> uri = KvURI::createURI(in, true);
    if (uri.isNull())
        kvFuzzFail("createURI gave neither a URI nor an exception");
    skipMalformed(uri);
    KvString written = uri->serialize();
    return written.isEmpty() ? std::string() : std::string(written.data(), written.length());
}

std::string rewriteNameAddress(const std::string& text) {
    KvHandle<KvSipNameAddress> address(new KvSipNameAddress);
    address->parse(text.c_str());
    if (!address->getURI().isNull())
        skipMalformed(address->getURI());
    KvFuzzStringStream out;
    address->write(out);
    return out.text;
}

// A text written by `rewrite` must read back; parameter lists come back newest first, so the text
// is the same after two rounds.
void checkRoundTrip(std::string (*rewrite)(const std::string&), const std::string& input) {
    std::string first;
    try {
        first = rewrite(input);
    } catch (KvHandle<KvException>&) {
        return;
    } catch (KvFuzzSkip&) {
        return;
    }
    // Texts are C texts, which a NUL byte cuts short, and the readers trim and drop CR, LF and
    // other control characters where they stand: such input is not expected back.
    for (char c : input)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return;
    std::string second, third;
    try {
        second = rewrite(first);
        third = rewrite(second);
    } catch (KvHandle<KvException>& e) {
        kvFuzzFail(e->getText(), first, second);
    } catch (KvFuzzSkip&) {
        return; // the reversed parameters met one of the exceptions above
    }
    if (third != first)
        kvFuzzFail("a written address reads back otherwise", first, third);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvFuzzQuietLog();
    std::string text(reinterpret_cast<const char*>(data), size);
    checkRoundTrip(rewriteURI, text);
    checkRoundTrip(rewriteNameAddress, text);
    return 0;
}
