#include "KvSdpRepeatField.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpReader.h"

#include <string>

namespace {
const char* const kIncomplete = "KvSdpRepeatField::parse Incomplete Repeat Field";
}

KvSdpRepeatField::KvSdpRepeatField() : KvSdpField("r") {}

KvSdpRepeatField::KvSdpRepeatField(const char* text) : KvSdpRepeatField() {
    parseText(text);
}

KvSdpRepeatField::~KvSdpRepeatField() = default;

void KvSdpRepeatField::parse(KvInputStream& stream) {
    // Interval, duration and at least one offset must stand on this line.
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvString interval = KvSdpReader::readToken(stream);
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvString duration = KvSdpReader::readToken(stream);
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvSdpLine offsets;
    KvSdpReader::readRestOfLine(stream, offsets);
    m_interval = interval;
    m_duration = duration;
    m_offsets = KvSdpReader::split(offsets.c_str());
}

void KvSdpRepeatField::serialize(KvOutputStream& stream) const {
    if (m_interval.isEmpty() || m_duration.isEmpty())
        KvException::sThrow("KvSdpRepeatField::serialize() Incomplete Repeat Field");
    stream << "r=" << m_interval << " " << m_duration;
    for (const KvString& offset : m_offsets)
        stream << " " << offset;
    stream << "\r\n";
}

void KvSdpRepeatField::setOffsets(const char* text) {
    KvSdpReader::refuseLineEnd(text, *this);
    m_offsets = KvSdpReader::split(text ? text : "");
}

KvString KvSdpRepeatField::getOffsetsText() const {
    return KvSdpReader::join(m_offsets);
}
