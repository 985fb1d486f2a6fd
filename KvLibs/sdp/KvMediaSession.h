// The media of a call as the application states it, and the SDP body that carries it: the session
// writes its own SDP text, and a received SDP body becomes a session through sConstructFrom.
#pragma once

#include "KvMediaStream.h"
#include "KvObject.h"
#include "KvStringBuffer.h"

#include <cstdint>
#include <vector>

class KvMediaSession : public KvObject {
public:
    // A null stream handle gives a session without streams.
    explicit KvMediaSession(const KvHandle<KvMediaStream>& stream);
    // Copies the three texts and every stream (with the stream copy constructor); a null handle
    // gives an empty session.
    explicit KvMediaSession(const KvHandle<KvMediaSession>& other);
    KvMediaSession(const KvMediaSession& other);
    ~KvMediaSession() override;

    // Appends the stream (shared); a null handle is ignored.
    void addStream(const KvHandle<KvMediaStream>& stream);
    const std::vector<KvHandle<KvMediaStream>>& getStreams() const { return m_streams; }

    // The texts are held as given; they do not make the SDP text stale. A text with a line break
    // is refused (KvSdpParseError); so is a user name or an address with a blank inside, as each
    // is one token of its line.
    void setUserName(const char* userName);
    void setConnectionAddress(const char* address);
    void setOriginAddress(const char* address);
    const char* getUserName() const { return m_userName.c_str(); }
    const char* getConnectionAddress() const { return m_connectionAddress.c_str(); }
    const char* getOriginAddress() const { return m_originAddress.c_str(); }

    // The SDP text, made again first when the session changed since it was last made.
    const char* getSdp();
    int32_t getSdpLength();
    // Makes the SDP text. Throws KvSdpParseError for a session without streams and KvException
    // for a stream without formats or of an unknown media type; the old text then stays.
    void buildSdp();

    // Reads length bytes of SDP text. Null for a null text, a length of 0 or below, or a body
    // without a media description of a known media type.
    static KvHandle<KvMediaSession> sConstructFrom(const char* text, int32_t length);
    // A session of one stream of that type: port and address from the first session's stream,
    // formats and attributes from the second's; null when the first has no such stream.
    static KvHandle<KvMediaSession> sMergeStream(const KvHandle<KvMediaSession>& first,
                                                 const KvHandle<KvMediaSession>& second,
                                                 int32_t mediaType);
    // While set, the SDP made carries the time line t=0 0.
    static void setZeroTime(bool flag);

private:
    KvMediaSession();
    KvMediaSession& operator=(const KvMediaSession&) = delete;
    void copyFrom(const KvMediaSession& other);
    // A line break or a blank inside refuses the address before anything changes.
    void refuseAddress(const char* address) const;

    std::vector<KvHandle<KvMediaStream>> m_streams;
    int32_t m_sdpLength;
    KvString m_sdp;
    bool m_dirty;
    KvString m_originAddress;
    KvString m_connectionAddress;
    KvString m_userName;
};
