// The b= line: a bandwidth modifier and an amount.
#pragma once

#include "KvSdpField.h"

#include <cstdint>

class KvSdpBandwidthField : public KvSdpField {
public:
    KvSdpBandwidthField();
    // Parses the text as the value part of a b= line when it is not null.
    explicit KvSdpBandwidthField(const char* text);
    // Throws KvSdpParseError when the modifier is empty or holds a line break.
    KvSdpBandwidthField(const char* modifier, int32_t amount);
    ~KvSdpBandwidthField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getModifier() const { return m_modifier.c_str(); }
    void setModifier(const char* modifier) { setChecked(m_modifier, modifier); }
    int32_t getAmount() const { return m_amount; }
    void setAmount(int32_t amount) { m_amount = amount; }
    // The decimal number the text starts with, after blanks ("64kbps" is 64); a text without one,
    // a number above INT32_MAX, or a zero in any text but "0" itself throws KvException.
    void setAmount(const char* text);

private:
    KvString m_modifier;
    int32_t m_amount;
};

inline const KvSdpFieldRegistrar
    kvSdpBandwidthFieldRegistrar("b", &KvSdpFieldRegistrar::sCreate<KvSdpBandwidthField>);
