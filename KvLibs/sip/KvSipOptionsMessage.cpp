#include "KvSipOptionsMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipOptionsMessage::sToken() {
    static const KvString token("OPTIONS");
    return token;
}

KvSipMessage* KvSipOptionsMessage::sCreate() {
    return new KvSipOptionsMessage();
}

KvSipOptionsMessage::KvSipOptionsMessage() : KvSipRequest(sToken()) {}

KvSipOptionsMessage::KvSipOptionsMessage(const KvSipOptionsMessage& other) : KvSipRequest(other) {}

KvSipOptionsMessage::~KvSipOptionsMessage() = default;

KvObject* KvSipOptionsMessage::clone() const {
    return new KvSipOptionsMessage(*this);
}
