// The Retry-After header: when to try again (seconds or a date), with an optional comment and
// duration (RFC 3261 20.33).
#pragma once

#include "KvDate.h"
#include "KvSipHeaderClass.h"

class KvSipRetryAfterHeader : public KvSipHeaderClass<KvSipRetryAfterHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Retry-After", nullptr, KV_HEADER_RETRY_AFTER};

    KvSipRetryAfterHeader();
    // A duration of 0 is not written.
    KvSipRetryAfterHeader(uint32_t seconds, uint32_t duration);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // Parses the text as a date and turns the date form on; a bad date raises "Invalid Date in
    // Retry-After header" and changes nothing.
    void setDate(const char* text);
    // Leading white space is dropped.
    void setComment(const char* text);

    bool isDateForm() const { return m_dateForm; }
    const KvDate& getDate() const { return m_date; }
    uint32_t getDeltaSeconds() const { return m_deltaSeconds; }
    const KvString& getComment() const { return m_comment; }
    bool hasDuration() const { return m_durationPresent; }
    uint32_t getDuration() const { return m_duration; }

    // Bound of the date text and of the comment.
    static constexpr uint32_t WORK_BUFFER_SIZE = 256;

private:
    bool m_dateForm;
    KvDate m_date;
    uint32_t m_deltaSeconds;
    KvString m_comment;
    bool m_durationPresent;
    uint32_t m_duration;
};

inline const KvSipHeaderClassRegistrar<KvSipRetryAfterHeader> kvSipRetryAfterHeaderRegistrar;
