// The RAck header: a PRACK's acknowledgement of one reliable provisional response.
#pragma once

#include "KvSipHeader.h"

class KvSipRAckHeader : public KvSipHeader {
public:
    KvSipRAckHeader();
    // The method text is copied.
    KvSipRAckHeader(uint32_t rseq, uint32_t cseq, const char* method);
    KvSipRAckHeader(const KvSipRAckHeader& other);
    ~KvSipRAckHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    uint32_t getResponseNumber() const { return m_responseNumber; }
    uint32_t getCSeqNumber() const { return m_cseqNumber; }
    const KvString& getMethod() const { return m_method; }

private:
    uint32_t m_responseNumber;
    uint32_t m_cseqNumber;
    KvString m_method;
};

inline const KvSipHeaderRegistrar kvSipRAckHeaderRegistrar("RAck", nullptr,
                                                           &KvSipRAckHeader::sCreate);
