#include "KvSdpTimeDescription.h"

KvSdpTimeDescription::KvSdpTimeDescription() : KvSdpDescription("t", "tr") {}

KvSdpTimeDescription::KvSdpTimeDescription(const KvHandle<KvSdpTimeField>& time,
                                           const KvHandle<KvSdpRepeatField>& repeat)
    : KvSdpTimeDescription() {
    addField(time);
    addField(repeat);
}

KvSdpTimeDescription::~KvSdpTimeDescription() = default;

void KvSdpTimeDescription::parse(KvInputStream& stream) {
    KvSdpDescription::parse(stream);
}

void KvSdpTimeDescription::serialize(KvOutputStream& stream) const {
    KvSdpDescription::serialize(stream);
}
