// A CANCEL request, built from values or from the request it cancels.
#pragma once

#include "KvSipRequestClass.h"

class KvSipCancelMessage : public KvSipRequestClass<KvSipCancelMessage> {
public:
    static constexpr const char* METHOD = "CANCEL";

    KvSipCancelMessage() = default;
    // The value constructor: the request value constructor with this method.
    using KvSipRequestClass::KvSipRequestClass;
    // The CANCEL for request: same From, To, Call-ID, CSeq number, request-URI (without URL
    // headers, as the peer read it) and top Via.
    explicit KvSipCancelMessage(KvHandle<KvSipRequest> request);
};

inline const KvSipRequestClassRegistrar<KvSipCancelMessage> kvSipCancelMessageRegistrar;
