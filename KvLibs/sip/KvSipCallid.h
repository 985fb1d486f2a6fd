// A new Call-ID value: a time-based UUID text, "@", and a host text.
#pragma once

#include "KvObject.h"
#include "KvStringBuffer.h"

class KvSipCallid : public KvObject {
public:
    // A null host stands for this machine's host name, looked up on first use and then kept for
    // the life of the process. A failed look-up throws its socket error and is tried again next
    // time.
    explicit KvSipCallid(const char* host);
    // Shares the value.
    KvSipCallid(const KvSipCallid& other);
    ~KvSipCallid() override;

    KvObject* clone() const override;

    // Valid while the object lives.
    const char* getValue() const { return m_value.c_str(); }

private:
    void generate(const char* host);

    KvString m_value;
};
