// An OPTIONS request; only ever received.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipOptionsMessage : public KvSipRequest {
public:
    KvSipOptionsMessage();
    KvSipOptionsMessage(const KvSipOptionsMessage& other);
    ~KvSipOptionsMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipOptionsMessageRegistrar("OPTIONS",
                                                                &KvSipOptionsMessage::sCreate);
