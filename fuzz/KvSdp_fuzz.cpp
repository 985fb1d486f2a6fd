// An SDP body read as a media session (as the application reads every received body) and as a
// whole SDP message; what each writes must read back.
#include "KvException.h"
#include "KvFuzzSupport.h"
#include "KvMediaSession.h"
#include "KvSdpMsg.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string formatName(const KvMediaFormat& format) {
    const char* name = format.getEncodingName();
    return name ? name : "(none)";
}

// What the application reads from a session: per stream the type, port, address and formats.
// A stream address of 0.0.0.0 is not written (the session's stands for it), so it is left out.
std::string describe(const KvMediaSession& session, bool withAddress) {
    std::string text;
    for (const KvHandle<KvMediaStream>& stream : session.getStreams()) {
        text += std::to_string(stream->getMediaType()) + " " + std::to_string(stream->getPort()) +
                " " + (withAddress ? std::to_string(stream->getAddress().getAddress()) : "") + ":";
        for (const KvMediaFormat& format : stream->getFormats())
            text += " " + std::to_string(format.getPayloadType()) + "/" + formatName(format);
        text += " [" + std::to_string(stream->getAttributes().size()) + " attributes]\n";
    }
    return text;
}

bool resolves(const char* host) {
    try {
        KvInetAddress address(host);
        return true;
    } catch (KvHandle<KvException>&) {
        return false;
    }
}

// The session's connection address as the writer takes it (the local host when it is empty).
uint32_t sessionAddress(const KvMediaSession& session) {
    const char* text = session.getConnectionAddress();
    try {
        return text && *text ? KvInetAddress(text).getAddress()
                             : KvInetAddress::getLocalHost().getAddress();
    } catch (KvHandle<KvException>&) {
        return 0;
    }
}

void fuzzSession(const std::string& text) {
    KvHandle<KvMediaSession> session;
    try {
        session = KvMediaSession::sConstructFrom(text.data(), static_cast<int32_t>(text.size()));
    } catch (KvHandle<KvException>&) {
        return;
    }
    if (session.isNull())
        return;
    if (session->getStreams().empty())
        kvFuzzFail("a session without streams");
    for (int32_t type = 0; type <= 4; ++type)
        KvMediaSession::sMergeStream(session, session, type);
    KvHandle<KvMediaSession> copy(new KvMediaSession(*session));

    const char* sdp = nullptr;
    int32_t length = 0;
    try {
        sdp = session->getSdp();
        length = session->getSdpLength();
    } catch (KvHandle<KvException>&) {
        return; // a stream without formats cannot be offered
    }
    // Field texts are C texts: a NUL byte cuts one short (an "a=rtpmap" name among them), so
    // a body that holds one is not expected to come back as it was read.
    if (text.find('\0') != std::string::npos)
        return;
    if (!sdp || length <= 0 || std::strlen(sdp) != static_cast<size_t>(length))
        kvFuzzFail("the session's SDP text and length disagree");
    // The SDP a session writes must give the application the same streams back.
    KvHandle<KvMediaSession> again;
    try {
        again = KvMediaSession::sConstructFrom(sdp, length);
    } catch (KvHandle<KvException>& e) {
        // A session address that does not resolve was not needed while every stream had its
        // own; written, those streams take the session's, and reading it fails.
        if (!resolves(session->getConnectionAddress()))
            return;
        kvFuzzFail(e->getText(), sdp);
    }
    if (again.isNull())
        kvFuzzFail("the session's own SDP gives no session", sdp);
    // Nor is a stream's own address written while the session's address is 0.0.0.0.
    bool withAddress = sessionAddress(*session) != 0;
    for (const KvHandle<KvMediaStream>& stream : session->getStreams())
        withAddress = withAddress && stream->getAddress().getAddress() != 0;
    if (describe(*again, withAddress) != describe(*session, withAddress))
        kvFuzzFail("the session's own SDP reads back other streams",
                   describe(*session, withAddress), describe(*again, withAddress));
}

std::string written(const KvSdpMsg& message) {
    KvFuzzStringStream out;
    message.serialize(out);
    return out.text;
}

void fuzzMessage(const std::string& text) {
    KvHandle<KvSdpMsg> message;
    try {
        message = new KvSdpMsg(text.c_str());
    } catch (KvHandle<KvException>&) {
        return;
    }
    message->getConnectionField();
    message->getOriginField();
    message->getMediaDescriptionWithFormat(0);
    // A second "v=" line is filed with the first and written beside it, where it ends the
    // session lines early when read again: such a body does not come back.
    KvHandle<KvSdpSessionDescription> session = message->getSessionDescription();
    KvHandle<KvSdpField> version =
        session.isNull() ? KvHandle<KvSdpField>() : session->getField("v");
    if (!version.isNull() && !version->getNext().isNull())
        return;
    std::string first;
    try {
        first = written(*message);
    } catch (KvHandle<KvException>&) {
        // The reader keeps fields that the writer refuses as incomplete ("v=", "t= ", "a=:x"
        // and the like); received bodies are never written, so that is where it ends.
        return;
    }
    KvHandle<KvSdpMsg> again;
    try {
        again = new KvSdpMsg(first.c_str());
    } catch (KvHandle<KvException>& e) {
        kvFuzzFail(e->getText(), first);
    }
    std::string second = written(*again);
    if (second != first)
        kvFuzzFail("a written SDP message reads back otherwise", first, second);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvFuzzQuietLog();
    std::string text(reinterpret_cast<const char*>(data), size);
    fuzzSession(text);
    fuzzMessage(text);
    return 0;
}
