// A "sip" address: user, password, host, port, URL parameters and escaped URL headers.
#pragma once

#include "KvURI.h"

#include <cstdint>

class KvOutputStream;
class KvParameters;

class KvSipURL : public KvURI {
public:
    KvSipURL();
    // Parses the text; parameters behind a bare URL belong to it.
    explicit KvSipURL(const char* text);
    KvSipURL(const KvSipURL& other);
    ~KvSipURL() override;

    KvObject* clone() const override;
    bool hasParameters() const override;
    bool hasHeaders() const override;
    KvString serialize() const override;
    void parse(KvInputStream& stream) override;
    // Writes the text serialize() returns, without making a string of it.
    void write(KvOutputStream& stream) const;
    // Whether that text holds a ";", "," or "?", which a bare URL in a header would lose.
    bool writesDelimiter() const;
    virtual uint32_t getParameterCount() const;
    virtual bool hasNoHeaders() const;

    static KvURI* sCreate();

    KvString getUser() const { return m_user; }
    KvString getPassword() const { return m_password; }
    KvString getHost() const { return m_host; }
    int32_t getPort() const { return m_portPresent ? m_port : DEFAULT_PORT; }
    bool hasPort() const { return m_portPresent; }
    // The message transport code: 1 for transport=tcp, else 0 (UDP).
    int32_t getTransport() const;
    KvString getMaddr() const;
    KvHandle<KvParameters> getParameters() const { return listOf(m_parameters); }
    KvHandle<KvParameters> getHeaders() const { return listOf(m_headers); }
    void removeParameter(const char* name);

    static constexpr int32_t DEFAULT_PORT = 5060;
    // Bound of the URL text and of its header part.
    static constexpr uint32_t BUFFER_SIZE = 1024;

private:
    friend class KvSipAddressHeader;

    // Reads the header part behind "?", up to the end of the URL.
    void parseHeaders(KvInputStream& stream, bool bracketed);
    // Puts "sip:", user, password, host and port at head when they fit in room; their length.
    uint32_t writeHead(char* head, uint32_t room) const;
    // Most URLs have no parameters and no headers: those lists are made on first use.
    static KvParameters& listOf(KvHandle<KvParameters>& list);
    static KvHandle<KvParameters> listOf(const KvHandle<KvParameters>& list);
    static uint32_t countOf(const KvHandle<KvParameters>& list);

    KvString m_user;
    KvString m_password;
    KvString m_host;
    int32_t m_port;
    KvHandle<KvParameters> m_parameters;
    KvHandle<KvParameters> m_headers;
    bool m_portPresent;
};
