// A NOTIFY request; only ever received.
#pragma once

#include "KvSipRequestClass.h"

class KvSipNotifyMessage : public KvSipRequestClass<KvSipNotifyMessage> {
public:
    static constexpr const char* METHOD = "NOTIFY";
};

inline const KvSipRequestClassRegistrar<KvSipNotifyMessage> kvSipNotifyMessageRegistrar;
