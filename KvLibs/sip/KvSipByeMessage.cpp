#include "KvSipByeMessage.h"

#include "KvSipHeaders.h"

KvSipByeMessage::KvSipByeMessage(KvHandle<KvSipMessage> message) {
    requirePart(!message.isNull(), "message", "content");
    addCallHeaders(*message, "message", 1);

    // The peer's Contact when there is one, else its To address.
    setPeerURI(*message, "message", true);
    addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
}
