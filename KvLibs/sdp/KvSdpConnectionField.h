// The c= line: network type, address type and address (a multicast address keeps its "/" suffix).
#pragma once

#include "KvConstString.h"
#include "KvSdpField.h"

class KvSdpConnectionField : public KvSdpField {
public:
    KvSdpConnectionField();
    // Parses the text as the value part of a c= line when it is not null.
    explicit KvSdpConnectionField(const char* text);
    // Throws KvSdpParseError when any of the three is empty or holds a line break.
    KvSdpConnectionField(const char* networkType, const char* addressType, const char* address);
    ~KvSdpConnectionField() override;

    void parse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const char* getNetworkType() const { return m_networkType.c_str(); }
    void setNetworkType(const char* networkType) { setChecked(m_networkType, networkType); }
    const char* getAddressType() const { return m_addressType.c_str(); }
    void setAddressType(const char* addressType) { setChecked(m_addressType, addressType); }
    const char* getAddress() const { return m_address.c_str(); }
    void setAddress(const char* address) { setChecked(m_address, address); }

private:
    KvConstString m_networkType;
    KvConstString m_addressType;
    KvConstString m_address;
};

inline const KvSdpFieldRegistrar
    kvSdpConnectionFieldRegistrar("c", &KvSdpFieldRegistrar::sCreate<KvSdpConnectionField>);
