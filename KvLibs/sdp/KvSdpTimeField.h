// The t= line: start and stop time as the decimal texts of the SDP.
#pragma once

#include "KvSdpField.h"

class KvSdpTimeField : public KvSdpField {
public:
    KvSdpTimeField();
    // Parses the text as the value part of a t= line when it is not null.
    explicit KvSdpTimeField(const char* text);
    // Throws KvSdpParseError when either time is empty or holds a line break.
    KvSdpTimeField(const char* start, const char* stop);
    ~KvSdpTimeField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getStart() const { return m_start.c_str(); }
    void setStart(const char* start) { setChecked(m_start, start); }
    const char* getStop() const { return m_stop.c_str(); }
    void setStop(const char* stop) { setChecked(m_stop, stop); }

private:
    KvString m_start;
    KvString m_stop;
};

inline const KvSdpFieldRegistrar
    kvSdpTimeFieldRegistrar("t", &KvSdpFieldRegistrar::sCreate<KvSdpTimeField>);
