// An OPTIONS request; only ever received.
#pragma once

#include "KvSipRequestClass.h"

class KvSipOptionsMessage : public KvSipRequestClass<KvSipOptionsMessage> {
public:
    static constexpr const char* METHOD = "OPTIONS";
};

inline const KvSipRequestClassRegistrar<KvSipOptionsMessage> kvSipOptionsMessageRegistrar;
