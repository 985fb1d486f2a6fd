// The r= line: repeat interval, active duration and offsets, each kept as its typed-time text.
#pragma once

#include "KvSdpField.h"

#include <vector>

class KvSdpRepeatField : public KvSdpField {
public:
    KvSdpRepeatField();
    // Parses the text as the value part of an r= line when it is not null.
    explicit KvSdpRepeatField(const char* text);
    ~KvSdpRepeatField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getInterval() const { return m_interval.c_str(); }
    void setInterval(const char* interval) { setChecked(m_interval, interval); }
    const char* getDuration() const { return m_duration.c_str(); }
    void setDuration(const char* duration) { setChecked(m_duration, duration); }
    const std::vector<KvString>& getOffsets() const { return m_offsets; }
    // Replaces the offsets by the pieces of the text cut at single spaces.
    void setOffsets(const char* text);
    KvString getOffsetsText() const;

private:
    KvString m_interval;
    KvString m_duration;
    std::vector<KvString> m_offsets;
};

inline const KvSdpFieldRegistrar
    kvSdpRepeatFieldRegistrar("r", &KvSdpFieldRegistrar::sCreate<KvSdpRepeatField>);
