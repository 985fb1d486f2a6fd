// An INFO request; only ever received.
#pragma once

#include "KvSipRequestClass.h"

class KvSipInfoMessage : public KvSipRequestClass<KvSipInfoMessage> {
public:
    static constexpr const char* METHOD = "INFO";
};

inline const KvSipRequestClassRegistrar<KvSipInfoMessage> kvSipInfoMessageRegistrar;
