// The RAck header: a PRACK's acknowledgement of one reliable provisional response.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipRAckHeader : public KvSipHeaderClass<KvSipRAckHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"RAck", nullptr, KV_HEADER_RACK};

    KvSipRAckHeader();
    // The method text is copied.
    KvSipRAckHeader(uint32_t rseq, uint32_t cseq, const char* method);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    uint32_t getResponseNumber() const { return m_responseNumber; }
    uint32_t getCSeqNumber() const { return m_cseqNumber; }
    const KvString& getMethod() const { return m_method; }

private:
    uint32_t m_responseNumber;
    uint32_t m_cseqNumber;
    KvString m_method;
};

inline const KvSipHeaderClassRegistrar<KvSipRAckHeader> kvSipRAckHeaderRegistrar;
