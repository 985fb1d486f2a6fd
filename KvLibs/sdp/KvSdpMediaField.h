// The m= line: media, port[/number of ports], transport and the format tokens.
#pragma once

#include "KvSdpField.h"

#include <cstdint>
#include <vector>

class KvSdpMediaField : public KvSdpField {
public:
    KvSdpMediaField();
    // Parses the text as the value part of an m= line when it is not null.
    explicit KvSdpMediaField(const char* text);
    ~KvSdpMediaField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getMedia() const { return m_media.c_str(); }
    void setMedia(const char* media) { setChecked(m_media, media); }
    int32_t getPort() const { return m_port; }
    void setPort(int32_t port) { m_port = port; }
    // A decimal port (0 to 65535); anything else throws KvSdpParseError.
    void setPort(const char* text);
    int32_t getNumPorts() const { return m_numPorts; }
    void setNumPorts(int32_t numPorts) { m_numPorts = numPorts; }
    // A decimal count (0 to 65535); anything else throws KvSdpParseError.
    void setNumPorts(const char* text);
    const char* getTransport() const { return m_transport.c_str(); }
    void setTransport(const char* transport) { setChecked(m_transport, transport); }

    const std::vector<KvString>& getFormats() const { return m_formats; }
    // Replaces the formats by the pieces of the text cut at single spaces.
    void setFormats(const char* text);
    KvString getFormatsText() const;
    // True when some all-digit format has this decimal value.
    bool hasFormat(int32_t payloadType) const;

private:
    // Reads from the bytes the stream shows; false for a stream that shows none.
    bool parseShown(KvInputStream& stream);

    KvString m_media;
    int32_t m_port;
    int32_t m_numPorts;
    KvString m_transport;
    std::vector<KvString> m_formats;
};

inline const KvSdpFieldRegistrar
    kvSdpMediaFieldRegistrar("m", &KvSdpFieldRegistrar::sCreate<KvSdpMediaField>);
