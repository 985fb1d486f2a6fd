// A SUBSCRIBE request; only ever received.
#pragma once

#include "KvSipRequestClass.h"

class KvSipSubscribeMessage : public KvSipRequestClass<KvSipSubscribeMessage> {
public:
    static constexpr const char* METHOD = "SUBSCRIBE";
};

inline const KvSipRequestClassRegistrar<KvSipSubscribeMessage> kvSipSubscribeMessageRegistrar;
