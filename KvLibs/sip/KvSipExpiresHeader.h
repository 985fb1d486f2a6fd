// The Expires header: a lifetime in seconds, or an absolute date.
#pragma once

#include "KvDate.h"
#include "KvSipHeader.h"

class KvSipExpiresHeader : public KvSipHeader {
public:
    KvSipExpiresHeader();
    explicit KvSipExpiresHeader(uint32_t seconds);
    KvSipExpiresHeader(const KvSipExpiresHeader& other);
    ~KvSipExpiresHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    // The seconds from now until the date in the date form (0 once it has passed), else the
    // delta seconds.
    uint32_t getDeltaSeconds() const;
    bool isDateForm() const { return m_dateForm; }
    const KvDate& getDate() const { return m_date; }

private:
    bool m_dateForm;
    KvDate m_date;
    uint32_t m_deltaSeconds;
};

inline const KvSipHeaderRegistrar kvSipExpiresHeaderRegistrar("Expires", nullptr,
                                                              &KvSipExpiresHeader::sCreate);
