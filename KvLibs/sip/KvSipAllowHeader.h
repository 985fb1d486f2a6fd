// The Allow header: a method the sender supports, or, when built from a list, the whole list. An
// empty Allow is valid.
#pragma once

#include "KvSipHeader.h"

class KvSipAllowHeader : public KvSipHeader {
public:
    KvSipAllowHeader();
    // The text is stored unchanged, a whole comma-separated list included.
    explicit KvSipAllowHeader(const char* methods);
    KvSipAllowHeader(const KvSipAllowHeader& other);
    ~KvSipAllowHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    const KvString& getMethods() const { return m_methods; }

private:
    KvString m_methods;
};

inline const KvSipHeaderRegistrar kvSipAllowHeaderRegistrar("Allow", nullptr,
                                                            &KvSipAllowHeader::sCreate);
