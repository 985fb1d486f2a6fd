// A PRACK request, acknowledging a reliable provisional response.
#pragma once

#include "KvSipRequestClass.h"

class KvSipPrackMessage : public KvSipRequestClass<KvSipPrackMessage> {
public:
    static constexpr const char* METHOD = "PRACK";

    // The value constructor: the request value constructor with this method.
    using KvSipRequestClass::KvSipRequestClass;
};

inline const KvSipRequestClassRegistrar<KvSipPrackMessage> kvSipPrackMessageRegistrar;
