// A request whose method has no class of its own; the parser stores the method it read.
#pragma once

#include "KvSipRequest.h"

class KvSipUnknownRequest : public KvSipRequest {
public:
    KvSipUnknownRequest();
    KvSipUnknownRequest(const KvSipUnknownRequest& other);
    ~KvSipUnknownRequest() override;

    KvObject* clone() const override;
};
