// The value of an a=rtpmap line: <payload type> <encoding name>/<clock rate>[/<parameters>].
#pragma once

#include "KvSdpAttribute.h"

class KvSdpLineWriter;

#include <cstdint>
#include <string_view>

class KvSdpRtpAttribute : public KvSdpAttribute {
public:
    // Parses the text when it is not null.
    explicit KvSdpRtpAttribute(const char* text = nullptr);
    ~KvSdpRtpAttribute() override;

    // Reads the rest of the line; every part is reset first.
    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;
    void updateText() override;

    int32_t getPayloadType() const { return m_payloadType; }
    const char* getEncodingName() const { return m_encodingName.c_str(); }
    int32_t getClockRate() const { return m_clockRate; }
    int32_t getEncodingParameters() const { return m_encodingParameters; }
    const char* getEncodingParametersText() const { return m_encodingParametersText.c_str(); }

    // Every setter marks the value text for rebuilding. The payload type text must be a decimal
    // number, the clock rate text must start with one; anything else throws KvSdpParseError, as
    // does a negative payload type or clock rate, an empty name or one with a slash, and a name
    // or parameters text with a line break. A refused value changes nothing.
    void setPayloadType(int32_t payloadType);
    void setPayloadType(const char* text);
    void setEncodingName(const char* name);
    void setClockRate(int32_t clockRate);
    void setClockRate(const char* text);
    void setEncodingParameters(int32_t parameters);
    void setEncodingParametersText(const char* text);

private:
    // Gives it the value of a line it has read, which holds no line end.
    friend class KvSdpAttributeField;

    void clear();
    void write(KvSdpLineWriter& line) const;
    // The first line of a C text, as a line reader would take it.
    static std::string_view firstLine(const char* text);
    // Every part from one line of text.
    void parseLine(std::string_view text);

    int32_t m_payloadType;
    KvString m_encodingName;
    int32_t m_clockRate;
    int32_t m_encodingParameters;
    KvString m_encodingParametersText;
};
