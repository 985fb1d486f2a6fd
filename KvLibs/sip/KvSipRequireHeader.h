// The Require header: one option tag that the receiver must support.
#pragma once

#include "KvSipHeader.h"

class KvSipRequireHeader : public KvSipHeader {
public:
    KvSipRequireHeader();
    // The tag is stored unchanged.
    explicit KvSipRequireHeader(const char* text);
    KvSipRequireHeader(const KvSipRequireHeader& other);
    ~KvSipRequireHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    const KvString& getOptionTag() const { return m_optionTag; }

    // Shared with Supported: one tag up to a comma or white space; an empty tag is kept.
    static KvString sParseOptionTag(KvInputStream& stream);

private:
    KvString m_optionTag;
};

inline const KvSipHeaderRegistrar kvSipRequireHeaderRegistrar("Require", nullptr,
                                                              &KvSipRequireHeader::sCreate);
