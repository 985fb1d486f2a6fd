#include "KvSdpSessionDescription.h"

#include "KvException.h"
#include "KvSdpReader.h"
#include "KvStreamTokenizer.h"

#include <cstring>

namespace {
// Indices of the slots written before and after the time descriptions.
constexpr int kLastSlotBeforeTimes = 11;
constexpr int kFirstSlotAfterTimes = 12;

// Parsed descriptions are of exactly their class, told without a search of the class tree; any
// other takes the handle's checked conversion.
template <class T> KvHandle<T> checkedCast(const KvHandle<KvSdpDescription>& description) {
    if (T* exact = kvSdpCast<T>(description.get()))
        return KvHandle<T>(exact);
    return KvHandle<T>(description);
}
} // namespace

KvSdpSessionDescription::KvSdpSessionDescription()
    : KvSdpDescription("v", "vosiuepcbzka"), m_lastTime(nullptr), m_lastMedia(nullptr) {}

KvSdpSessionDescription::~KvSdpSessionDescription() = default;

void KvSdpSessionDescription::parse(KvInputStream& stream) {
    KvSdpDescription::parse(stream);
    while (KvStreamTokenizer::skipWhitespace(stream) == 't')
        addDescription(KvSdpDescription::sConstructFrom(stream));
    int c = KvStreamTokenizer::skipWhitespace(stream);
    if (c >= 0 && c != 'm')
        KvSdpDescription::parse(stream);
    while (KvStreamTokenizer::skipWhitespace(stream) == 'm')
        addDescription(KvSdpDescription::sConstructFrom(stream));
}

void KvSdpSessionDescription::serialize(KvOutputStream& stream) const {
    serializeSlots(stream, 0, kLastSlotBeforeTimes);
    for (const KvSdpDescription* d = m_timeDescriptions.get(); d; d = d->getNext().get())
        d->serialize(stream);
    serializeSlots(stream, kFirstSlotAfterTimes, kSlotCount - 1);
    for (const KvSdpDescription* d = m_mediaDescriptions.get(); d; d = d->getNext().get())
        d->serialize(stream);
}

void KvSdpSessionDescription::addDescription(const KvHandle<KvSdpDescription>& description) {
    if (description.isNull())
        return;
    const char* token = description->getToken();
    if (std::strcmp(token, "t") == 0) {
        if (m_timeDescriptions.isNull()) {
            m_timeDescriptions = checkedCast<KvSdpTimeDescription>(description);
            m_lastTime =
                KvSdpDescription::sAppend(m_timeDescriptions.get(), KvHandle<KvSdpDescription>());
        } else {
            m_lastTime = KvSdpDescription::sAppend(m_lastTime, description);
        }
    } else if (std::strcmp(token, "m") == 0) {
        if (m_mediaDescriptions.isNull()) {
            m_mediaDescriptions = checkedCast<KvSdpMediaDescription>(description);
            m_lastMedia =
                KvSdpDescription::sAppend(m_mediaDescriptions.get(), KvHandle<KvSdpDescription>());
        } else {
            m_lastMedia = KvSdpDescription::sAppend(m_lastMedia, description);
        }
    } else {
        KvException::sThrow(
            "trying to add unknown description in KvSdpSessionDescription::addDescription()");
    }
}

KvHandle<KvSdpDescription> KvSdpSessionDescription::getDescription(const char* token) const {
    if (token && std::strcmp(token, "t") == 0)
        return m_timeDescriptions;
    if (token && std::strcmp(token, "m") == 0)
        return m_mediaDescriptions;
    return KvHandle<KvSdpDescription>();
}
