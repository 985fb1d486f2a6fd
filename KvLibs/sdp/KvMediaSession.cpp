#include "KvMediaSession.h"

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvSdpAttributeField.h"
#include "KvSdpMsg.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"
#include "KvSdpRtpAttribute.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

namespace {
std::atomic<bool> sZeroTime{false};

// Seconds from 1900 (the NTP epoch of SDP times) to 1970.
constexpr int64_t kNtpOffset = 2208988800LL;

const char* const kMediaTokens[] = {"audio", "video", "text", "image", "application"};
constexpr int32_t kMediaTypeCount = 5;

int32_t mediaTypeOf(const char* token) {
    for (int32_t type = 0; type < kMediaTypeCount; ++type)
        if (std::strcmp(token, kMediaTokens[type]) == 0)
            return type;
    return -1;
}

// A blank between two other characters: the blanks around a text are trimmed where it is used.
bool holdsInnerBlank(const char* text) {
    bool word = false;
    bool blankBehindWord = false;
    for (; text && *text; ++text) {
        if (*text == ' ' || *text == '\t')
            blankBehindWord = word;
        else if (blankBehindWord)
            return true;
        else
            word = true;
    }
    return false;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() &&
           (KvSdpReader::isBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (KvSdpReader::isBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return std::string(text);
}

// The address of a c= value without the multicast TTL or address count ("224.2.17.12/127").
std::string hostOf(const char* address) {
    std::string_view text(address ? address : "");
    return trimmed(text.substr(0, text.find('/')));
}

std::string localHostAddress() {
    return KvInetAddress::getLocalHost().getHostAddress();
}
} // namespace

KvMediaSession::KvMediaSession() : m_sdpLength(0), m_dirty(true) {}

KvMediaSession::KvMediaSession(const KvHandle<KvMediaStream>& stream) : KvMediaSession() {
    addStream(stream);
}

KvMediaSession::KvMediaSession(const KvHandle<KvMediaSession>& other) : KvMediaSession() {
    if (!other.isNull())
        copyFrom(*other);
}

KvMediaSession::KvMediaSession(const KvMediaSession& other) : KvMediaSession() {
    copyFrom(other);
}

KvMediaSession::~KvMediaSession() = default;

void KvMediaSession::copyFrom(const KvMediaSession& other) {
    m_originAddress = other.m_originAddress;
    m_connectionAddress = other.m_connectionAddress;
    m_userName = other.m_userName;
    m_streams.reserve(other.m_streams.size());
    for (const KvHandle<KvMediaStream>& stream : other.m_streams)
        m_streams.emplace_back(new KvMediaStream(*stream));
}

void KvMediaSession::addStream(const KvHandle<KvMediaStream>& stream) {
    if (stream.isNull())
        return;
    m_streams.push_back(stream);
    m_dirty = true;
}

void KvMediaSession::setZeroTime(bool flag) {
    sZeroTime.store(flag);
}

void KvMediaSession::setUserName(const char* userName) {
    const char* const refused = "Attempting to set a user name with a blank or a line break";
    KvSdpReader::refuseLineEnd(userName, refused);
    if (userName && std::strpbrk(userName, " \t"))
        KvSdpParseError::sThrow(refused);
    m_userName = KvString(userName);
}

const char* KvMediaSession::getSdp() {
    if (m_dirty) {
        buildSdp();
        m_dirty = false;
    }
    return m_sdp.c_str();
}

int32_t KvMediaSession::getSdpLength() {
    if (m_dirty) {
        buildSdp();
        m_dirty = false;
    }
    return m_sdpLength;
}

void KvMediaSession::buildSdp() {
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const std::string session = std::to_string(now + kNtpOffset);

    std::string originAddress = trimmed(m_originAddress.c_str());
    std::string connectionAddress = trimmed(m_connectionAddress.c_str());
    if (originAddress.empty() || connectionAddress.empty()) {
        std::string local = trimmed(localHostAddress());
        if (originAddress.empty())
            originAddress = local;
        if (connectionAddress.empty())
            connectionAddress = local;
    }

    std::string sdp;
    sdp.reserve(512);
    sdp = "v=0\r\no=";
    std::string origin = m_userName.isEmpty() ? "user" : m_userName.c_str();
    origin.append(" ").append(session).append(" ").append(session).append(" IN IP4 ");
    origin.append(originAddress);
    sdp.append(trimmed(origin)).append("\r\ns=SDP Media Session\r\n");
    sdp.append("c=IN IP4 ").append(connectionAddress).append("\r\n");
    sdp.append("t=").append(sZeroTime.load() ? "0" : session).append(" 0\r\n");

    if (m_streams.empty())
        KvSdpParseError::sThrow("No Media Streams to create Media Descriptions from");

    // The session's connection address as an address, looked up only when a stream needs it.
    std::optional<KvInetAddress> connection;
    for (const KvHandle<KvMediaStream>& stream : m_streams) {
        int32_t type = stream->getMediaType();
        if (type < 0 || type >= kMediaTypeCount || stream->getFormats().empty())
            KvException::sThrow("KvSdpMediaField::serialize() Incomplete Media Field");

        sdp.append("m=").append(kMediaTokens[type]).append(" ");
        sdp.append(std::to_string(stream->getPort())).append(" RTP/AVP");
        for (const KvMediaFormat& format : stream->getFormats())
            sdp.append(" ").append(std::to_string(format.getPayloadType()));
        sdp.append("\r\n");

        KvInetAddress address = stream->getAddress();
        if (address.getAddress() != 0) {
            if (!connection)
                connection = KvInetAddress(connectionAddress.c_str());
            if (connection->getAddress() != 0 && !(address == *connection)) {
                sdp.append("c=IN IP4 ").append(address.getHostAddress()).append("\r\n");
            }
        }

        for (const KvMediaFormat& format : stream->getFormats()) {
            if (!format.getEncodingName())
                continue;
            sdp.append("a=rtpmap:").append(std::to_string(format.getPayloadType())).append(" ");
            sdp.append(format.getEncodingName()).append("/8000\r\n");
        }

        for (const KvHandle<KvSdpAttributeField>& attribute : stream->getAttributes()) {
            if (*attribute->getName() == '\0')
                KvException::sThrow("Serializing Invalid Attribute Field");
            sdp.append("a=").append(attribute->getName());
            if (attribute->hasValue())
                sdp.append(":").append(attribute->getValueText());
            sdp.append("\r\n");
        }
    }

    m_sdp = sdp.c_str();
    m_sdpLength = static_cast<int32_t>(sdp.size());
}

KvHandle<KvMediaSession> KvMediaSession::sConstructFrom(const char* text, int32_t length) {
    if (!text || length <= 0)
        return KvHandle<KvMediaSession>();
    KvByteArrayInputStream input(KvByteArray::sCreate(static_cast<uint32_t>(length), text));
    KvHandle<KvSdpMsg> message(new KvSdpMsg);
    message->parse(input);

    KvHandle<KvSdpConnectionField> connectionField = message->getConnectionField();
    KvHandle<KvSdpOriginField> originField = message->getOriginField();
    if (connectionField.isNull() && originField.isNull())
        KvSdpParseError::sThrow(
            "Invalid SDP Message, both Connection field  and Origin Field are missing\n");
    const std::string connectionText =
        connectionField.isNull() ? std::string() : hostOf(connectionField->getAddress());
    const std::string originText =
        originField.isNull() ? std::string() : trimmed(originField->getAddress());

    // RFC 4566 5.7: a media description's own c= line, else the session's, else the origin's.
    std::optional<KvInetAddress> sessionAddress;
    auto sessionLevelAddress = [&]() {
        if (!sessionAddress)
            sessionAddress = KvInetAddress(connectionField.isNull() ? originText.c_str()
                                                                    : connectionText.c_str());
        return *sessionAddress;
    };

    KvHandle<KvMediaSession> session;
    for (KvHandle<KvSdpDescription> d = message->getMediaDescription(); !d.isNull();
         d = d->getNext()) {
        auto* description = kvSdpCast<KvSdpMediaDescription>(d.get());
        if (!description)
            continue;
        KvHandle<KvSdpMediaField> media = description->getMediaField();
        if (media.isNull())
            continue;
        int32_t type = mediaTypeOf(media->getMedia());
        if (type < 0)
            continue;

        KvInetAddress address;
        auto* ownConnection = kvSdpCast<KvSdpConnectionField>(description->getField("c").get());
        if (ownConnection)
            address = KvInetAddress(hostOf(ownConnection->getAddress()).c_str());
        else
            address = sessionLevelAddress();

        KvHandle<KvMediaStream> stream(new KvMediaStream(type, media->getPort(), address));
        // Only RTP payload type numbers are formats here; "t38", "*" and the like are skipped.
        stream->m_formats.reserve(media->getFormats().size());
        for (const KvString& format : media->getFormats()) {
            uint32_t payloadType = 0;
            if (KvSdpReader::toNumber(format.c_str(), INT32_MAX, payloadType))
                stream->addFormat(KvMediaFormat(static_cast<int32_t>(payloadType), nullptr));
        }
        for (KvHandle<KvSdpField> f = description->getField("a"); !f.isNull(); f = f->getNext()) {
            auto* attribute = kvSdpCast<KvSdpAttributeField>(f.get());
            if (!attribute)
                continue;
            // An rtpmap line names its format and moves it to the end of the list.
            auto* rtpmap = kvSdpCast<KvSdpRtpAttribute>(attribute->getValue().get());
            if (rtpmap)
                stream->addFormat(
                    KvMediaFormat(rtpmap->getPayloadType(), rtpmap->getEncodingName()));
            else
                stream->addAttribute(KvHandle<KvSdpAttributeField>(attribute));
        }

        if (session.isNull())
            session = new KvMediaSession(stream);
        else
            session->addStream(stream);
    }
    if (session.isNull())
        return session;

    if (!originField.isNull())
        session->m_originAddress = originText.c_str();
    if (!connectionField.isNull())
        session->m_connectionAddress = connectionText.c_str();
    return session;
}

KvHandle<KvMediaSession> KvMediaSession::sMergeStream(const KvHandle<KvMediaSession>& first,
                                                      const KvHandle<KvMediaSession>& second,
                                                      int32_t mediaType) {
    if (first.isNull())
        return KvHandle<KvMediaSession>();
    auto findStream = [mediaType](const KvHandle<KvMediaSession>& session) {
        if (!session.isNull())
            for (const KvHandle<KvMediaStream>& stream : session->m_streams)
                if (stream->getMediaType() == mediaType)
                    return stream;
        return KvHandle<KvMediaStream>();
    };
    KvHandle<KvMediaStream> source = findStream(first);
    if (source.isNull())
        return KvHandle<KvMediaSession>();

    KvHandle<KvMediaStream> merged(
        new KvMediaStream(mediaType, source->getPort(), source->getAddress()));
    KvHandle<KvMediaStream> other = findStream(second);
    if (!other.isNull()) {
        for (const KvMediaFormat& format : other->getFormats())
            merged->addFormat(format);
        for (const KvHandle<KvSdpAttributeField>& attribute : other->getAttributes())
            merged->addAttribute(attribute);
    }
    KvHandle<KvMediaSession> session(new KvMediaSession(merged));
    session->m_connectionAddress = first->m_connectionAddress;
    return session;
}

void KvMediaSession::setConnectionAddress(const char* address) {
    refuseAddress(address);
    m_connectionAddress = KvString(address);
}

void KvMediaSession::setOriginAddress(const char* address) {
    refuseAddress(address);
    m_originAddress = KvString(address);
}

void KvMediaSession::refuseAddress(const char* address) const {
    KvSdpReader::refuseLineEnd(address, *this);
    // One token of its line: a blank inside would split it.
    if (holdsInnerBlank(address))
        KvSdpParseError::sThrow("Attempting to set an address with a blank");
}
