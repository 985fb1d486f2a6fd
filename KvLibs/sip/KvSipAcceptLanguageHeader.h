// The Accept-Language header: one language the sender prefers, with its q-value. An empty
// Accept-Language is valid.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipAcceptLanguageHeader : public KvSipHeaderClass<KvSipAcceptLanguageHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Accept-Language", nullptr, KV_HEADER_ACCEPT_LANGUAGE};

    KvSipAcceptLanguageHeader() = default;
    // Both texts are stored unchanged; an empty q-value is not written.
    KvSipAcceptLanguageHeader(const char* language, const char* qvalue);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getLanguage() const { return m_language; }
    const KvString& getQValue() const { return m_qvalue; }

private:
    KvString m_language;
    KvString m_qvalue; // as written
};

inline const KvSipHeaderClassRegistrar<KvSipAcceptLanguageHeader>
    kvSipAcceptLanguageHeaderRegistrar;
