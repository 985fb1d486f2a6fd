// The o= line: user name, session id, version, network type, address type and unicast address.
#pragma once

#include "KvConstString.h"
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
    void setUserName(const char* userName) { setChecked(m_userName, userName); }
    const char* getSessionId() const { return m_sessionId.c_str(); }
    void setSessionId(const char* sessionId) { setChecked(m_sessionId, sessionId); }
    const char* getVersion() const { return m_version.c_str(); }
    void setVersion(const char* version) { setChecked(m_version, version); }
    const char* getNetworkType() const { return m_networkType.c_str(); }
    void setNetworkType(const char* networkType) { setChecked(m_networkType, networkType); }
    const char* getAddressType() const { return m_addressType.c_str(); }
    void setAddressType(const char* addressType) { setChecked(m_addressType, addressType); }
    const char* getAddress() const { return m_address.c_str(); }
    void setAddress(const char* address) { setChecked(m_address, address); }

private:
    KvConstString m_userName;
    KvConstString m_sessionId;
    KvConstString m_version;
    KvConstString m_networkType;
    KvConstString m_addressType;
    KvConstString m_address;
};

inline const KvSdpFieldRegistrar
    kvSdpOriginFieldRegistrar("o", &KvSdpFieldRegistrar::sCreate<KvSdpOriginField>);
