// A REGISTER request.
#pragma once

#include "KvSipRequestClass.h"

class KvSipRegisterMessage : public KvSipRequestClass<KvSipRegisterMessage> {
public:
    static constexpr const char* METHOD = "REGISTER";

    // The value constructor: the request value constructor with this method.
    using KvSipRequestClass::KvSipRequestClass;
};

inline const KvSipRequestClassRegistrar<KvSipRegisterMessage> kvSipRegisterMessageRegistrar;
