// A media description: one m= line and the i, c, b, k and a lines that follow it.
#pragma once

#include "KvSdpAttributeField.h"
#include "KvSdpDescription.h"
#include "KvSdpMediaField.h"

#include <cstdint>

class KvSdpMediaDescription : public KvSdpDescription {
public:
    KvSdpMediaDescription();
    ~KvSdpMediaDescription() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // The first m= field, or null.
    KvHandle<KvSdpMediaField> getMediaField() const;
    // True when the m= line lists a format of that decimal value.
    bool hasFormat(int32_t payloadType) const;
};

inline const KvSdpDescriptionRegistrar
    kvSdpMediaDescriptionRegistrar("m", &KvSdpDescriptionRegistrar::sCreate<KvSdpMediaDescription>);
