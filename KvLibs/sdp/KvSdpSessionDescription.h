// The session description: the session-level lines, the chain of time descriptions and the chain
// of media descriptions of one SDP body.
#pragma once

#include "KvSdpDescription.h"
#include "KvSdpMediaDescription.h"
#include "KvSdpTimeDescription.h"

class KvSdpSessionDescription : public KvSdpDescription {
public:
    KvSdpSessionDescription();
    ~KvSdpSessionDescription() override;

    // Session lines, time descriptions, the session lines after them (z, k, a), then media
    // descriptions; whatever follows is left for the caller.
    void parse(KvInputStream& stream) override;
    // v o s i u e p c b, each time description, z k a, each media description.
    void serialize(KvOutputStream& stream) const override;

    // Adds a time or media description to the end of its chain; a null handle is ignored, any
    // other token throws.
    void addDescription(const KvHandle<KvSdpDescription>& description);
    // The first description of the chain for "t" or "m"; null for anything else.
    KvHandle<KvSdpDescription> getDescription(const char* token) const;

private:
    KvHandle<KvSdpTimeDescription> m_timeDescriptions;
    KvHandle<KvSdpMediaDescription> m_mediaDescriptions;
    // The last description of each chain, so that adding stays cheap.
    KvSdpDescription* m_lastTime;
    KvSdpDescription* m_lastMedia;
};

inline const KvSdpDescriptionRegistrar
    kvSdpSessionDescriptionRegistrar("v",
                                     &KvSdpDescriptionRegistrar::sCreate<KvSdpSessionDescription>);
