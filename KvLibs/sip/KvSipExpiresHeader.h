// The Expires header: a lifetime in seconds, or an absolute date.
#pragma once

#include "KvDate.h"
#include "KvSipHeaderClass.h"

class KvSipExpiresHeader : public KvSipHeaderClass<KvSipExpiresHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Expires", nullptr, KV_HEADER_EXPIRES};

    KvSipExpiresHeader();
    explicit KvSipExpiresHeader(uint32_t seconds);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

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

inline const KvSipHeaderClassRegistrar<KvSipExpiresHeader> kvSipExpiresHeaderRegistrar;
