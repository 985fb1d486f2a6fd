// The Expires header: a lifetime in seconds, or an absolute date.
#pragma once

#include "KvDate.h"
#include "KvSipHeaderClass.h"

#include <mutex>
#include <optional>

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
    // The date read; in the delta form the time of construction.
    const KvDate& getDate() const;

    KvSipExpiresHeader(const KvSipExpiresHeader& other);

private:
    bool m_dateForm;
    // Made when read or first asked for, from the time of construction: a header parsed in the
    // delta form costs no calendar conversion (which takes the C library's time-zone lock).
    mutable std::optional<KvDate> m_date;
    mutable std::once_flag m_dateMade;
    uint32_t m_deltaSeconds;
    int64_t m_madeAt;
};

inline const KvSipHeaderClassRegistrar<KvSipExpiresHeader> kvSipExpiresHeaderRegistrar;
