// An ACK request, built from the final response to an INVITE.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipResponse;

class KvSipAckMessage : public KvSipRequest {
public:
    KvSipAckMessage();
    // The ACK for response, the final response to an INVITE: From, To, Call-ID and CSeq number
    // from it, the request-URI from its Contact for a 2xx, else from its To.
    KvSipAckMessage(KvHandle<KvSipResponse> response, const char* body = nullptr,
                    const char* contentType = nullptr, uint32_t bodyLength = 0);
    KvSipAckMessage(const KvSipAckMessage& other);
    ~KvSipAckMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipAckMessageRegistrar("ACK", &KvSipAckMessage::sCreate);
