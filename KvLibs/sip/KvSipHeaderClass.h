// What every header class has in the same shape, written once from the names the class declares:
// the copy (clone), the registry's creator (sCreate), the long and compact tokens and the id. A
// header class then holds only its fields, its parse and its write:
//
//     class KvSipViaHeader : public KvSipHeaderClass<KvSipViaHeader> {
//     public:
//         static constexpr KvSipHeaderNames NAMES{"Via", "v", KV_HEADER_VIA};
//         ...
//     };
//     inline const KvSipHeaderClassRegistrar<KvSipViaHeader> kvSipViaHeaderRegistrar;
//
// A class of a header family names the family's base as the second argument.
#pragma once

#include "KvSipHeader.h"

#include <concepts>
#include <type_traits>
#include <utility>

// A header class's long token, compact token (null when it has none) and id.
struct KvSipHeaderNames {
    const char* token;
    const char* compactToken;
    KvSipHeaderId id;
};

// For a subclass that is its base header under another name (Proxy-Authorization): the base is
// built with the subclass's token instead of its own.
struct KvSipHeaderOtherToken {
    const KvString& token;
};

// Constructor arguments other than one header, which is a copy for the copy constructor.
template <class... Args>
concept KvSipNotACopy =
    !(sizeof...(Args) == 1 && (std::derived_from<std::remove_cvref_t<Args>, KvSipHeader> && ...));

template <class Derived, class Base = KvSipHeader> class KvSipHeaderClass : public Base {
public:
    KvObject* clone() const override { return new Derived(static_cast<const Derived&>(*this)); }
    const KvString& getToken() const override { return sToken(); }
    const KvString& getCompactToken() const override { return sCompactToken(); }

    static KvSipHeader* sCreate() { return new Derived(); }
    // Made once, on first use, so that no header builds its token and no start-up order matters.
    static const KvString& sToken() {
        static const KvString token(Derived::NAMES.token);
        return token;
    }
    // The long token for a class without a compact form.
    static const KvString& sCompactToken() {
        if constexpr (Derived::NAMES.compactToken == nullptr) {
            return sToken();
        } else {
            static const KvString token(Derived::NAMES.compactToken);
            return token;
        }
    }

protected:
    // The base is built from the class's long token and the arguments; the id is set at once.
    template <class... Args>
    requires KvSipNotACopy<Args...>
    explicit KvSipHeaderClass(Args&&... args) : Base(sToken(), std::forward<Args>(args)...) {
        this->setId(Derived::NAMES.id);
    }
    template <class... Args>
    KvSipHeaderClass(KvSipHeaderOtherToken other, Args&&... args)
        : Base(other.token, std::forward<Args>(args)...) {}
    KvSipHeaderClass(const KvSipHeaderClass& other) : Base(other) {
        this->setId(Derived::NAMES.id);
    }
};

// Enters a header class in the registry under its names; one beside each class.
template <class Header> struct KvSipHeaderClassRegistrar : KvSipHeaderRegistrar {
    KvSipHeaderClassRegistrar()
        : KvSipHeaderRegistrar(Header::NAMES.token, Header::NAMES.compactToken, &Header::sCreate) {}
};
