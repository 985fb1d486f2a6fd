#include "KvSdpMsg.h"

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpProtocolVersionField.h"
#include "KvSdpReader.h"
#include "KvSdpSessionNameField.h"
#include "KvStreamTokenizer.h"

#include <string>

namespace {
const char* const kInvalidInsert = "Attempting to insert invalid field at Session-level";
// How much of a refused line the error shows.
constexpr size_t kShownLineLength = 80;

template <class T>
KvHandle<T> sessionField(const KvHandle<KvSdpSessionDescription>& session, const char* letter) {
    if (session.isNull())
        return KvHandle<T>();
    return KvHandle<T>(kvSdpCast<T>(session->getField(letter).get()));
}
} // namespace

KvSdpMsg::KvSdpMsg() = default;

KvSdpMsg::KvSdpMsg(const char* text) {
    if (!text)
        return;
    KvByteArrayInputStream stream(KvByteArray::sFromString(text));
    parse(stream);
}

KvSdpMsg::KvSdpMsg(const KvHandle<KvSdpField>& field1, const KvHandle<KvSdpField>& field2,
                   const KvHandle<KvSdpField>& field3, const KvHandle<KvSdpField>& field4,
                   const KvHandle<KvSdpDescription>& description1,
                   const KvHandle<KvSdpDescription>& description2)
    : m_session(new KvSdpSessionDescription) {
    m_session->addField(KvHandle<KvSdpField>(new KvSdpProtocolVersionField("0")));
    m_session->addField(field1);
    m_session->addField(field2);
    m_session->addField(field3);
    m_session->addField(field4);
    m_session->addDescription(description1);
    m_session->addDescription(description2);
}

KvSdpMsg::KvSdpMsg(const KvHandle<KvSdpOriginField>& origin,
                   const KvHandle<KvSdpSessionNameField>& sessionName,
                   const KvHandle<KvSdpConnectionField>& connection,
                   const KvHandle<KvSdpAttributeField>& attribute,
                   const KvHandle<KvSdpTimeDescription>& time,
                   const KvHandle<KvSdpMediaDescription>& media)
    : KvSdpMsg(KvHandle<KvSdpField>(origin), KvHandle<KvSdpField>(sessionName),
               KvHandle<KvSdpField>(connection), KvHandle<KvSdpField>(attribute),
               KvHandle<KvSdpDescription>(time), KvHandle<KvSdpDescription>(media)) {}

KvSdpMsg::~KvSdpMsg() = default;

void KvSdpMsg::parse(KvInputStream& stream) {
    if (KvStreamTokenizer::skipWhitespace(stream) != 'v')
        KvSdpParseError::sThrow("SDP Message does not begin with 'v'");
    KvHandle<KvSdpSessionDescription> session(KvSdpDescription::sConstructFrom(stream));

    // A line that fits no description (an unknown letter, or a known one out of its place) ends
    // the reading: the descriptions behind it would be lost unseen, so the body is refused.
    if (KvStreamTokenizer::skipWhitespace(stream) >= 0) {
        std::string message = "SDP line of unknown type or out of place: ";
        stream.mark(-1);
        for (size_t length = 0; length < kShownLineLength; ++length) {
            int c = stream.read();
            if (c < 0 || c == '\r' || c == '\n')
                break;
            message.push_back(static_cast<char>(c));
        }
        stream.reset();
        KvSdpParseError::sThrow(message.c_str());
    }
    m_session = session;
}

void KvSdpMsg::serialize(KvOutputStream& stream) const {
    if (m_session.isNull())
        KvException::sThrow("Session Description is invalid in KvSdpMsg::serialize()");
    m_session->serialize(stream);
    stream.flush();
}

void KvSdpMsg::insertField(const KvHandle<KvSdpField>& field) {
    if (field.isNull())
        return;
    if (m_session.isNull() || !m_session->isAllowed(field->getType()))
        KvSdpParseError::sThrow(kInvalidInsert);
    m_session->addField(field);
}

KvHandle<KvSdpConnectionField> KvSdpMsg::getConnectionField() const {
    return sessionField<KvSdpConnectionField>(m_session, "c");
}

KvHandle<KvSdpOriginField> KvSdpMsg::getOriginField() const {
    return sessionField<KvSdpOriginField>(m_session, "o");
}

KvHandle<KvSdpMediaDescription> KvSdpMsg::getMediaDescription() const {
    if (m_session.isNull())
        return KvHandle<KvSdpMediaDescription>();
    return KvHandle<KvSdpMediaDescription>(m_session->getDescription("m"));
}

KvHandle<KvSdpMediaDescription> KvSdpMsg::getMediaDescriptionWithFormat(int32_t payloadType) const {
    for (KvHandle<KvSdpDescription> d = getMediaDescription(); !d.isNull(); d = d->getNext()) {
        auto* media = kvSdpCast<KvSdpMediaDescription>(d.get());
        if (media && media->hasFormat(payloadType))
            return KvHandle<KvSdpMediaDescription>(media);
    }
    return KvHandle<KvSdpMediaDescription>();
}
