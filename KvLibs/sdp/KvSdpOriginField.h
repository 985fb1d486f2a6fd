// The o= line: user name, session id, version, network type, address type and unicast address.
#pragma once

#include "KvSdpField.h"

class KvSdpOriginField : public KvSdpField {
public:
    KvSdpOriginField();
    // Parses the text as the value part of an o= line when it is not null.
    explicit KvSdpOriginField(const char* text);
    ~KvSdpOriginField() override;

    // Exactly six values must stand on the line; a missing or extra one throws.
    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getUserName() const { return m_userName.c_str(); }
    void setUserName(const char* userName) { m_userName = KvString(userName); }
    const char* getSessionId() const { return m_sessionId.c_str(); }
    void setSessionId(const char* sessionId) { m_sessionId = KvString(sessionId); }
    const char* getVersion() const { return m_version.c_str(); }
    void setVersion(const char* version) { m_version = KvString(version); }
    const char* getNetworkType() const { return m_networkType.c_str(); }
    void setNetworkType(const char* networkType) { m_networkType = KvString(networkType); }
    const char* getAddressType() const { return m_addressType.c_str(); }
    void setAddressType(const char* addressType) { m_addressType = KvString(addressType); }
    const char* getAddress() const { return m_address.c_str(); }
    void setAddress(const char* address) { m_address = KvString(address); }

private:
    KvString m_userName;
    KvString m_sessionId;
    KvString m_version;
    KvString m_networkType;
    KvString m_addressType;
    KvString m_address;
};

inline const KvSdpFieldRegistrar
    kvSdpOriginFieldRegistrar("o", &KvSdpFieldRegistrar::sCreate<KvSdpOriginField>);
