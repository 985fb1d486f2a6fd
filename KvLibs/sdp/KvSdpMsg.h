// One whole SDP body: the session description with its time and media descriptions.
#pragma once

#include "KvSdpConnectionField.h"
#include "KvSdpOriginField.h"
#include "KvSdpSessionDescription.h"
#include "KvSdpSessionNameField.h"

#include <cstdint>

class KvSdpMsg : public KvObject {
public:
    KvSdpMsg();
    // Parses the whole body when the text is not null; a parse error leaves by the exception.
    explicit KvSdpMsg(const char* text);
    // A session description of "v=0", the four fields and the two descriptions, each added with
    // the session description's checks; null handles are skipped.
    KvSdpMsg(const KvHandle<KvSdpField>& field1, const KvHandle<KvSdpField>& field2,
             const KvHandle<KvSdpField>& field3, const KvHandle<KvSdpField>& field4,
             const KvHandle<KvSdpDescription>& description1,
             const KvHandle<KvSdpDescription>& description2);
    KvSdpMsg(const KvHandle<KvSdpOriginField>& origin,
             const KvHandle<KvSdpSessionNameField>& sessionName,
             const KvHandle<KvSdpConnectionField>& connection,
             const KvHandle<KvSdpAttributeField>& attribute,
             const KvHandle<KvSdpTimeDescription>& time,
             const KvHandle<KvSdpMediaDescription>& media);
    ~KvSdpMsg() override;

    // Reads a whole body; on an error the previous content stays. Lines left unread after the
    // last description are reported on the error stream.
    void parse(KvInputStream& stream);
    void serialize(KvOutputStream& stream) const;
    // Adds a session-level field at the end of its letter's chain.
    void insertField(const KvHandle<KvSdpField>& field);

    KvHandle<KvSdpSessionDescription> getSessionDescription() const { return m_session; }
    // Session-level lines only.
    KvHandle<KvSdpConnectionField> getConnectionField() const;
    KvHandle<KvSdpOriginField> getOriginField() const;
    KvHandle<KvSdpMediaDescription> getMediaDescription() const;
    // The first media description, in body order, whose m= line lists the payload type.
    KvHandle<KvSdpMediaDescription> getMediaDescriptionWithFormat(int32_t payloadType) const;

private:
    KvHandle<KvSdpSessionDescription> m_session;
};
