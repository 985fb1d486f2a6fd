// A SIP response: status code and reason phrase on top of the message.
#pragma once

#include "KvSipMessage.h"

#include <cstdint>

class KvSipAuthenticateHeader;
class KvSipRequest;

class KvSipResponse : public KvSipMessage {
public:
    // An empty response, ready for parse.
    KvSipResponse();
    // The response to request: its Vias, From, To, Call-ID and CSeq echoed, the body set, and for
    // a 2xx its Record-Routes. Throws for a code outside 100..699 or a null request.
    KvSipResponse(int32_t statusCode, KvHandle<KvSipRequest> request, const char* body = nullptr,
                  const char* contentType = nullptr, uint32_t bodyLength = 0);
    KvSipResponse(const KvSipResponse& other);
    ~KvSipResponse() override;

    KvObject* clone() const override;
    bool isRequest() const override { return false; }
    void parseStartLine(KvInputStream& stream) override;
    void serializeStartLine(KvOutputStream& stream) const override;

    int32_t getStatusCode() const { return m_statusCode; }
    KvString getReasonPhrase() const { return m_reasonPhrase; }
    // WWW-Authenticate, else Proxy-Authenticate, else null.
    KvHandle<KvSipAuthenticateHeader> getAuthenticateHeader() const;

    static KvSipMessage* sCreate() { return new KvSipResponse(); }

    static constexpr int32_t MIN_STATUS_CODE = 100;
    static constexpr int32_t MAX_STATUS_CODE = 699;

private:
    int32_t m_statusCode;
    KvString m_reasonPhrase;
};

inline const KvSipMessageRegistrar kvSipResponseRegistrar("SIP", &KvSipResponse::sCreate);
