#include "KvSdpMediaDescription.h"

#include "KvSdpReader.h"

KvSdpMediaDescription::KvSdpMediaDescription() : KvSdpDescription("m", "micbka") {}

KvSdpMediaDescription::~KvSdpMediaDescription() = default;

void KvSdpMediaDescription::parse(KvInputStream& stream) {
    KvSdpDescription::parse(stream);
}

void KvSdpMediaDescription::serialize(KvOutputStream& stream) const {
    KvSdpDescription::serialize(stream);
}

KvHandle<KvSdpMediaField> KvSdpMediaDescription::getMediaField() const {
    // A field filed under "m" by hand need not be a media field.
    return KvHandle<KvSdpMediaField>(kvSdpCast<KvSdpMediaField>(getField("m").get()));
}

bool KvSdpMediaDescription::hasFormat(int32_t payloadType) const {
    KvHandle<KvSdpMediaField> media = getMediaField();
    return !media.isNull() && media->hasFormat(payloadType);
}
