// The Via header: one hop of the way back, with its sent protocol, sent-by address, parameters
// ("branch", "received", "maddr", "ttl", ...) and an optional comment.
#pragma once

#include "KvConstString.h"
#include "KvParameters.h"
#include "KvSipHeaderClass.h"

#include <cstdint>

class KvSipViaHeader : public KvSipHeaderClass<KvSipViaHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Via", "v", KV_HEADER_VIA};

    KvSipViaHeader();
    // SIP/2.0 over the transport (kept in upper case) from host:port; refuses an empty host or
    // transport.
    KvSipViaHeader(const char* host, uint32_t port, const char* transport);
    KvSipViaHeader(const KvSipViaHeader& other);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    void setBranch(const char* branch);
    // Parameter texts, empty when absent.
    KvString getBranch() const { return getParameterValue("branch"); }
    KvString getMaddr() const { return getParameterValue("maddr"); }
    KvString getReceived() const { return getParameterValue("received"); }
    void removeHidden() { removeParameterValue("hidden"); }
    void removeMaddr() { removeParameterValue("maddr"); }
    void removeReceived() { removeParameterValue("received"); }

    const char* getProtocolName() const { return m_protocolName.c_str(); }
    const char* getProtocolVersion() const { return m_protocolVersion.c_str(); }
    const char* getTransport() const { return m_transport.c_str(); }
    const char* getHost() const { return m_host.c_str(); }
    // 5060 when the value named no port.
    uint32_t getPort() const { return m_port; }
    bool hasPort() const { return m_portPresent; }
    const char* getComment() const { return m_comment.c_str(); }
    KvHandle<KvParameters> getParameters() const { return m_parameters; }

    static constexpr uint32_t DEFAULT_PORT = 5060;

private:
    KvString getParameterValue(const char* name) const;
    void removeParameterValue(const char* name);
    // Refuses a value without full sent protocol and host, or with a ttl outside 0 to 255.
    void check() const;

    KvHandle<KvParameters> m_parameters;
    KvConstString m_protocolName;
    KvConstString m_protocolVersion;
    KvConstString m_transport;
    KvConstString m_host;
    uint32_t m_port;
    bool m_portPresent;
    KvConstString m_comment;
};

inline const KvSipHeaderClassRegistrar<KvSipViaHeader> kvSipViaHeaderRegistrar;
