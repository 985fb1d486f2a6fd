#include "KvSdpAttribute.h"

#include "KvOutputStream.h"
#include "KvSdpReader.h"

KvSdpAttribute::KvSdpAttribute(const char* text) : m_value(text), m_changed(false), m_stale(false) {
    KvSdpReader::refuseLineEnd(text, "Attempting to create KvSdpAttribute with a line break");
}

KvSdpAttribute::~KvSdpAttribute() = default;

void KvSdpAttribute::parse(KvInputStream& stream) {
    KvSdpLine token;
    KvSdpReader::readToken(stream, token);
    KvSdpReader::assign(m_value, token.view());
}

void KvSdpAttribute::serialize(KvOutputStream& stream) const {
    stream << m_value;
}

const char* KvSdpAttribute::getText() {
    if (m_stale) {
        updateText();
        m_stale = false;
    }
    return m_value.c_str();
}

void KvSdpAttribute::setText(const char* text) {
    KvSdpReader::refuseLineEnd(text, *this);
    m_value = text;
}
