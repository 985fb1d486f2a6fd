// A "sip" address: user, password, host, port, URL parameters and escaped URL headers.
#pragma once

#include "KvConstString.h"
#include "KvURI.h"

#include <cstdint>
#include <string_view>

class KvInputCursor;
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
    // The same through the cursor of a parser that reads stream: the cursor goes on behind the
    // URL (read from the stream alone when the URL had headers).
    void parse(KvInputCursor& cursor, KvInputStream& stream);
    // Writes the text serialize() returns, without making a string of it.
    void write(KvOutputStream& stream) const;
    // Whether that text holds a ";", "," or "?", which a bare URL in a header would lose.
    bool writesDelimiter() const;
    virtual uint32_t getParameterCount() const;
    virtual bool hasNoHeaders() const;

    static KvURI* sCreate();

    // Each a string of its own, made on demand; null when absent.
    KvString getUser() const { return partString(0, m_userLength); }
    KvString getPassword() const { return partString(m_userLength, m_passwordLength); }
    KvString getHost() const { return partString(m_userLength + m_passwordLength, m_hostLength); }
    // The same texts without a string made, valid while the URL is neither parsed nor changed.
    std::string_view userText() const { return {user(), m_userLength}; }
    std::string_view hostText() const { return {host(), m_hostLength}; }
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
    KvString partString(uint32_t offset, uint32_t length) const;
    const char* user() const { return m_parts.data(); }
    const char* password() const { return m_parts.data() + m_userLength; }
    const char* host() const { return m_parts.data() + m_userLength + m_passwordLength; }

    // User, password and host one behind the other in one uncounted text: an address costs no
    // counted string for its parts.
    KvConstString m_parts;
    uint16_t m_userLength = 0;
    uint16_t m_passwordLength = 0;
    uint16_t m_hostLength = 0;
    int32_t m_port;
    KvHandle<KvParameters> m_parameters;
    KvHandle<KvParameters> m_headers;
    bool m_portPresent;
};
