#include "KvSipByeMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

KvSipByeMessage::KvSipByeMessage(KvHandle<KvSipMessage> message) {
    requirePart(!message.isNull(), "message", "content");
    addCallHeaders(*message, "message", 1);

    // The peer's Contact when there is one, else its To address, whatever the URI's scheme.
    KvHandle<KvURI> uri;
    KvHandle<KvSipContactHeader> contact = message->getContactHeader();
    KvHandle<KvSipToHeader> to = message->getToHeader();
    if (!contact.isNull() && !contact->getNameAddress().isNull())
        uri = contact->getNameAddress()->getURI();
    else if (!to->getNameAddress().isNull())
        uri = to->getNameAddress()->getURI();
    requirePart(!uri.isNull(), "message", "address for the request-URI");
    setRequestURI(uri);
    addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
}
