// An INFO request; only ever received.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipInfoMessage : public KvSipRequest {
public:
    KvSipInfoMessage();
    KvSipInfoMessage(const KvSipInfoMessage& other);
    ~KvSipInfoMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipInfoMessageRegistrar("INFO", &KvSipInfoMessage::sCreate);
