#include "KvDatagramPacket.h"

KvDatagramPacket::KvDatagramPacket(KvHandle<KvByteArray> data, uint32_t offset, uint32_t length,
                                   const KvInetAddress& address, uint32_t port)
    : m_data(data), m_address(address), m_port(port), m_offset(0), m_length(0) {
    uint32_t size = m_data.isNull() ? 0 : m_data->size();
    m_offset = offset < size ? offset : size;
    uint32_t rest = size - m_offset;
    m_length = (length == 0 || length > rest) ? rest : length;
}

KvDatagramPacket::~KvDatagramPacket() = default;
