// The Subject header: free text that summarises the call.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipTextHeader.h"

class KvSipSubjectHeader : public KvSipHeaderClass<KvSipSubjectHeader, KvSipTextHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Subject", "s", KV_HEADER_SUBJECT};

    // The whole text to the line end, commas included: Subject is no list.
    void doParse(KvInputStream& stream) override;

    const KvString& getSubject() const { return m_text; }
};

inline const KvSipHeaderClassRegistrar<KvSipSubjectHeader> kvSipSubjectHeaderRegistrar;
