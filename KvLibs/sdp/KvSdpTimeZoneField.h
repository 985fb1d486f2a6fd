// The z= line: time-zone adjustments, each an adjustment time and an offset.
#pragma once

#include "KvSdpField.h"

#include <vector>

class KvSdpTimeZoneField : public KvSdpField {
public:
    KvSdpTimeZoneField();
    // Parses the text as the value part of a z= line when it is not null.
    explicit KvSdpTimeZoneField(const char* text);
    ~KvSdpTimeZoneField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // Each entry is one adjustment time and its offset joined by one space.
    const std::vector<KvString>& getAdjustments() const { return m_adjustments; }
    // Replaces the entries by the text cut at every second space (nothing when it is null).
    void setValue(const char* text);
    KvString getValueText() const;

private:
    std::vector<KvString> m_adjustments;
};

inline const KvSdpFieldRegistrar
    kvSdpTimeZoneFieldRegistrar("z", &KvSdpFieldRegistrar::sCreate<KvSdpTimeZoneField>);
