#include "KvBaseEvent.h"

#include <utility>

KvBaseEvent::~KvBaseEvent() = default;

KvUDPEvent::KvUDPEvent(KvHandle<KvObserver> observer, KvHandle<KvObject> argument)
    : m_observer(std::move(observer)), m_argument(std::move(argument)) {}

KvUDPEvent::~KvUDPEvent() = default;

KvTCPEvent::KvTCPEvent(KvHandle<KvObject> first, KvHandle<KvObject> second)
    : m_first(std::move(first)), m_second(std::move(second)) {}

KvTCPEvent::~KvTCPEvent() = default;

KvTimerEvent::KvTimerEvent(KvHandle<KvObserver> observer, KvHandle<KvObject> argument)
    : m_observer(std::move(observer)), m_argument(std::move(argument)) {}

KvTimerEvent::~KvTimerEvent() = default;
