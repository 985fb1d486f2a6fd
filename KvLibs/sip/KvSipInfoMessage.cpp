#include "KvSipInfoMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipInfoMessage::sToken() {
    static const KvString token("INFO");
    return token;
}

KvSipMessage* KvSipInfoMessage::sCreate() {
    return new KvSipInfoMessage();
}

KvSipInfoMessage::KvSipInfoMessage() : KvSipRequest(sToken()) {}

KvSipInfoMessage::KvSipInfoMessage(const KvSipInfoMessage& other) : KvSipRequest(other) {}

KvSipInfoMessage::~KvSipInfoMessage() = default;

KvObject* KvSipInfoMessage::clone() const {
    return new KvSipInfoMessage(*this);
}
