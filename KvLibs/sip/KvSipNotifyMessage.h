// A NOTIFY request; only ever received.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipNotifyMessage : public KvSipRequest {
public:
    KvSipNotifyMessage();
    KvSipNotifyMessage(const KvSipNotifyMessage& other);
    ~KvSipNotifyMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipNotifyMessageRegistrar("NOTIFY",
                                                               &KvSipNotifyMessage::sCreate);
