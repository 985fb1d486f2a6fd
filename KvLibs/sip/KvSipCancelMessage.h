// A CANCEL request, built from values or from the request it cancels.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipContactHeader;
class KvSipFromHeader;
class KvSipNameAddress;
class KvSipToHeader;

class KvSipCancelMessage : public KvSipRequest {
public:
    KvSipCancelMessage();
    // The request-URI is a copy of requestUri's URI; the headers are added as KvSipRequest does.
    KvSipCancelMessage(KvHandle<KvSipNameAddress> requestUri, KvHandle<KvSipFromHeader> from,
                       KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                       const char* callId, uint32_t cseq, const char* contentType, const char* body,
                       uint32_t bodyLength);
    // The CANCEL for request: same From, To, Call-ID, CSeq number, request-URI and top Via.
    explicit KvSipCancelMessage(KvHandle<KvSipRequest> request);
    KvSipCancelMessage(const KvSipCancelMessage& other);
    ~KvSipCancelMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipCancelMessageRegistrar("CANCEL",
                                                               &KvSipCancelMessage::sCreate);
