// The CSeq header: the command sequence number and the method of the request it belongs to.
#pragma once

#include "KvConstString.h"
#include "KvSipHeaderClass.h"

class KvSipCSeqHeader : public KvSipHeaderClass<KvSipCSeqHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"CSeq", nullptr, KV_HEADER_CSEQ};

    KvSipCSeqHeader();
    // The method text is copied.
    KvSipCSeqHeader(uint32_t number, const char* method);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    uint32_t getNumber() const { return m_number; }
    void setNumber(uint32_t number) { m_number = number; }
    // Never null: "" when empty. Valid while the header lives.
    const char* getMethod() const { return m_method.c_str(); }

private:
    uint32_t m_number;
    KvConstString m_method;
};

inline const KvSipHeaderClassRegistrar<KvSipCSeqHeader> kvSipCSeqHeaderRegistrar;
