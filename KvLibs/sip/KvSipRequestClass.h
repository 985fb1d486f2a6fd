// What every request method class has in the same shape, written once from the method the class
// declares: the copy (clone), the registry's creator (sCreate), the method token and, for a class
// built from values, the request value constructor with its method:
//
//     class KvSipByeMessage : public KvSipRequestClass<KvSipByeMessage> {
//     public:
//         static constexpr const char* METHOD = "BYE";
//         using KvSipRequestClass::KvSipRequestClass; // the value constructor
//         ...
//     };
//     inline const KvSipRequestClassRegistrar<KvSipByeMessage> kvSipByeMessageRegistrar;
#pragma once

#include "KvSipRequest.h"

#include <cstdint>
#include <utility>

template <class Derived> class KvSipRequestClass : public KvSipRequest {
public:
    // The request-URI is requestUri's URI object; the headers are added as KvSipRequest does.
    KvSipRequestClass(KvHandle<KvSipNameAddress> requestUri, KvHandle<KvSipFromHeader> from,
                      KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                      const char* callId, uint32_t cseq, const char* contentType, const char* body,
                      uint32_t bodyLength)
        : KvSipRequest(sToken(), std::move(requestUri), std::move(from), std::move(to),
                       std::move(contact), callId, cseq, contentType, body, bodyLength) {}

    KvObject* clone() const override { return new Derived(static_cast<const Derived&>(*this)); }

    static KvSipMessage* sCreate() { return new Derived(); }
    // The method token, shared by every request of the class.
    static const KvString& sToken() {
        static const KvString token(Derived::METHOD);
        return token;
    }

protected:
    // An empty request of the method, ready for parse.
    KvSipRequestClass() : KvSipRequest(sToken()) {}
    KvSipRequestClass(const KvSipRequestClass& other) = default;
    // The request-URI is the URI of to's address.
    KvSipRequestClass(KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                      KvHandle<KvSipContactHeader> contact, const char* callId, uint32_t cseq,
                      const char* contentType, const char* body, uint32_t bodyLength)
        : KvSipRequest(sToken(), std::move(from), std::move(to), std::move(contact), callId, cseq,
                       contentType, body, bodyLength) {}
};

// Enters a request class in the message registry under its method; one beside each class.
template <class Request> struct KvSipRequestClassRegistrar : KvSipMessageRegistrar {
    KvSipRequestClassRegistrar() : KvSipMessageRegistrar(Request::METHOD, &Request::sCreate) {}
};
