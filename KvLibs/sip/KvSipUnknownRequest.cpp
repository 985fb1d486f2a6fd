#include "KvSipUnknownRequest.h"

KvSipUnknownRequest::KvSipUnknownRequest() : KvSipRequest() {}

KvSipUnknownRequest::KvSipUnknownRequest(const KvSipUnknownRequest& other) : KvSipRequest(other) {}

KvSipUnknownRequest::~KvSipUnknownRequest() = default;

KvObject* KvSipUnknownRequest::clone() const {
    return new KvSipUnknownRequest(*this);
}
