// The Subject header: free text that summarises the call.
#pragma once

#include "KvSipHeader.h"

class KvSipSubjectHeader : public KvSipHeader {
public:
    KvSipSubjectHeader();
    KvSipSubjectHeader(const KvSipSubjectHeader& other);
    ~KvSipSubjectHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    const KvString& getCompactToken() const override;
    // The whole text to the line end, commas included: Subject is no list.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    const KvString& getSubject() const { return m_subject; }

private:
    KvString m_subject;
};

inline const KvSipHeaderRegistrar kvSipSubjectHeaderRegistrar("Subject", "s",
                                                              &KvSipSubjectHeader::sCreate);
