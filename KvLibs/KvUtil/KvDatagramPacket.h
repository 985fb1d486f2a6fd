// One received or outgoing message with its peer: a datagram, or a whole SIP message cut out of a
// TCP stream.
#pragma once

#include "KvByteArray.h"
#include "KvInetAddress.h"
#include "KvObject.h"

#include <cstdint>

class KvDatagramPacket : public KvObject {
public:
    // The offset is clamped to the data's end; a length of 0 (or one past the end) covers the data
    // from the offset to its end.
    KvDatagramPacket(KvHandle<KvByteArray> data, uint32_t offset, uint32_t length,
                     const KvInetAddress& address, uint32_t port);
    ~KvDatagramPacket() override;

    const KvHandle<KvByteArray>& getData() const { return m_data; }
    const KvInetAddress& getAddress() const { return m_address; }
    uint32_t getPort() const { return m_port; }
    uint32_t getOffset() const { return m_offset; }
    // kFailedLength after a failed receive.
    uint32_t getLength() const { return m_length; }

    static constexpr uint32_t kFailedLength = 0xFFFFFFFFu;

    // A receive fills these in.
    void setAddress(const KvInetAddress& address) { m_address = address; }
    void setPort(uint32_t port) { m_port = port; }
    void setLength(uint32_t length) { m_length = length; }

private:
    KvHandle<KvByteArray> m_data;
    KvInetAddress m_address;
    uint32_t m_port;
    uint32_t m_offset;
    uint32_t m_length;
};
