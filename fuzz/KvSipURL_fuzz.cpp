// A SIP URL (request-line form), then a name-address, read from the same bytes and written back;
// what is written must read back to the same text.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvFuzzSupport.h"
#include "KvSipNameAddress.h"
#include "KvURI.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// The URL read from the text in request-line form, written back; throws what the parser throws.
std::string rewriteURI(const std::string& text) {
    KvByteArrayInputStream in(
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
    KvHandle<KvURI> uri = KvURI::createURI(in, true);
    if (uri.isNull())
        kvFuzzFail("createURI gave neither a URI nor an exception");
    KvString written = uri->serialize();
    return written.isEmpty() ? std::string() : std::string(written.data(), written.length());
}

std::string rewriteNameAddress(const std::string& text) {
    KvHandle<KvSipNameAddress> address(new KvSipNameAddress);
    address->parse(text.c_str());
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
    }
    // Texts are C texts: a NUL byte cuts them short, and what follows is not expected back.
    if (input.find('\0') != std::string::npos)
        return;
    std::string second, third;
    try {
        second = rewrite(first);
        third = rewrite(second);
    } catch (KvHandle<KvException>& e) {
        kvFuzzFail(e->getText(), first, second);
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
