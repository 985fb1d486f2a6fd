// The Subject header: free text that summarises the call.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipSubjectHeader : public KvSipHeaderClass<KvSipSubjectHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Subject", "s", KV_HEADER_SUBJECT};

    // The whole text to the line end, commas included: Subject is no list.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getSubject() const { return m_subject; }

private:
    KvString m_subject;
};

inline const KvSipHeaderClassRegistrar<KvSipSubjectHeader> kvSipSubjectHeaderRegistrar;
