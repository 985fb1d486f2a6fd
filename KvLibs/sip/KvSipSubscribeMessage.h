// A SUBSCRIBE request; only ever received.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipSubscribeMessage : public KvSipRequest {
public:
    KvSipSubscribeMessage();
    KvSipSubscribeMessage(const KvSipSubscribeMessage& other);
    ~KvSipSubscribeMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipSubscribeMessageRegistrar("SUBSCRIBE",
                                                                  &KvSipSubscribeMessage::sCreate);
