// The Session-Expires header (RFC 4028): the session interval and which side refreshes it.
#pragma once

#include "KvParameters.h"
#include "KvSipHeaderClass.h"

class KvSipSessionExpiresHeader : public KvSipHeaderClass<KvSipSessionExpiresHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Session-Expires", "x", KV_HEADER_SESSION_EXPIRES};

    KvSipSessionExpiresHeader();
    explicit KvSipSessionExpiresHeader(uint32_t deltaSeconds);
    // A null or empty refresher adds no "refresher" parameter.
    KvSipSessionExpiresHeader(uint32_t deltaSeconds, const char* refresher);
    KvSipSessionExpiresHeader(const KvSipSessionExpiresHeader& other);

    // A "refresher" must be "uac" or "uas" (any case); one written without a value is dropped.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    uint32_t getDeltaSeconds() const { return m_deltaSeconds; }
    const KvHandle<KvParameters>& getParameters() const { return m_parameters; }

    // When true, getRefresher is not null.
    bool hasRefresher() const;
    // The "refresher" parameter's text; null when absent.
    const char* getRefresher() const;
    // Sets or replaces the "refresher" parameter; a null text changes nothing, a blank one
    // removes it.
    void setRefresher(const char* refresher);

private:
    uint32_t m_deltaSeconds;
    KvHandle<KvParameters> m_parameters; // never null
};

inline const KvSipHeaderClassRegistrar<KvSipSessionExpiresHeader>
    kvSipSessionExpiresHeaderRegistrar;
