// The Accept-Language header: one language the sender prefers, with its q-value. An empty
// Accept-Language is valid.
#pragma once

#include "KvSipHeader.h"

class KvSipAcceptLanguageHeader : public KvSipHeader {
public:
    KvSipAcceptLanguageHeader();
    // Both texts are stored unchanged; an empty q-value is not written.
    KvSipAcceptLanguageHeader(const char* language, const char* qvalue);
    KvSipAcceptLanguageHeader(const KvSipAcceptLanguageHeader& other);
    ~KvSipAcceptLanguageHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    const KvString& getLanguage() const { return m_language; }
    const KvString& getQValue() const { return m_qvalue; }

private:
    KvString m_language;
    KvString m_qvalue; // as written
};

inline const KvSipHeaderRegistrar
    kvSipAcceptLanguageHeaderRegistrar("Accept-Language", nullptr,
                                       &KvSipAcceptLanguageHeader::sCreate);
