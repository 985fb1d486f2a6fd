// A BYE request, built from values or from a message of the call.
#pragma once

#include "KvSipRequestClass.h"

class KvSipByeMessage : public KvSipRequestClass<KvSipByeMessage> {
public:
    static constexpr const char* METHOD = "BYE";

    KvSipByeMessage() = default;
    // The value constructor: the request value constructor with this method.
    using KvSipRequestClass::KvSipRequestClass;
    // The BYE that ends the call that message belongs to; its CSeq number is one above message's,
    // its request-URI message's Contact, else its To, without URL headers. A wildcard Contact is
    // refused.
    explicit KvSipByeMessage(KvHandle<KvSipMessage> message);
};

inline const KvSipRequestClassRegistrar<KvSipByeMessage> kvSipByeMessageRegistrar;
