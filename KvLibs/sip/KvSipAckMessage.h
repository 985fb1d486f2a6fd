// An ACK request, built from the final response to an INVITE.
#pragma once

#include "KvSipRequestClass.h"

#include <cstdint>

class KvSipResponse;

class KvSipAckMessage : public KvSipRequestClass<KvSipAckMessage> {
public:
    static constexpr const char* METHOD = "ACK";

    KvSipAckMessage() = default;
    // The ACK for response, the final response to an INVITE: From, To, Call-ID and CSeq number
    // from it, the request-URI from its Contact for a 2xx, else from its To, without URL headers.
    // A wildcard Contact is refused.
    KvSipAckMessage(KvHandle<KvSipResponse> response, const char* body = nullptr,
                    const char* contentType = nullptr, uint32_t bodyLength = 0);
};

inline const KvSipRequestClassRegistrar<KvSipAckMessage> kvSipAckMessageRegistrar;
