// The base of the headers that carry one option tag a value (Supported, Require): the message's
// option-tag tests ask this base.
#pragma once

#include "KvSipTextHeader.h"

class KvSipOptionTagHeader : public KvSipTextHeader {
public:
    // One tag up to a comma or white space; an empty tag is kept.
    void doParse(KvInputStream& stream) override;

    const KvString& getOptionTag() const { return m_text; }

protected:
    using KvSipTextHeader::KvSipTextHeader;
};
