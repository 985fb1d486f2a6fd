#include "KvSipNotifyMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipNotifyMessage::sToken() {
    static const KvString token("NOTIFY");
    return token;
}

KvSipMessage* KvSipNotifyMessage::sCreate() {
    return new KvSipNotifyMessage();
}

KvSipNotifyMessage::KvSipNotifyMessage() : KvSipRequest(sToken()) {}

KvSipNotifyMessage::KvSipNotifyMessage(const KvSipNotifyMessage& other) : KvSipRequest(other) {}

KvSipNotifyMessage::~KvSipNotifyMessage() = default;

KvObject* KvSipNotifyMessage::clone() const {
    return new KvSipNotifyMessage(*this);
}
