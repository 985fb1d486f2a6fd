// A time description: one t= line and the r= lines that follow it.
#pragma once

#include "KvSdpDescription.h"
#include "KvSdpRepeatField.h"
#include "KvSdpTimeField.h"

class KvSdpTimeDescription : public KvSdpDescription {
public:
    KvSdpTimeDescription();
    // Adds both fields; the repeat may be null.
    KvSdpTimeDescription(const KvHandle<KvSdpTimeField>& time,
                         const KvHandle<KvSdpRepeatField>& repeat);
    ~KvSdpTimeDescription() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;
};

inline const KvSdpDescriptionRegistrar
    kvSdpTimeDescriptionRegistrar("t", &KvSdpDescriptionRegistrar::sCreate<KvSdpTimeDescription>);
