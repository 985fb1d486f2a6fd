#include "KvSipSubscribeMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipSubscribeMessage::sToken() {
    static const KvString token("SUBSCRIBE");
    return token;
}

KvSipMessage* KvSipSubscribeMessage::sCreate() {
    return new KvSipSubscribeMessage();
}

KvSipSubscribeMessage::KvSipSubscribeMessage() : KvSipRequest(sToken()) {}

KvSipSubscribeMessage::KvSipSubscribeMessage(const KvSipSubscribeMessage& other)
    : KvSipRequest(other) {}

KvSipSubscribeMessage::~KvSipSubscribeMessage() = default;

KvObject* KvSipSubscribeMessage::clone() const {
    return new KvSipSubscribeMessage(*this);
}
