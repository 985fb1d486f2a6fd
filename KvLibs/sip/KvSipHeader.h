// The base of every SIP header class and the header factory that builds headers from text.
//
// Adding a header class (the registry must be complete before main, even in a static link where
// nothing names the class):
//   1. The class derives from KvSipHeaderClass<Class> (KvSipHeaderClass.h), or from
//      KvSipHeaderClass<Class, FamilyBase> for a class of a header family, and declares its names
//      once: `static constexpr KvSipHeaderNames NAMES{"Via", "v", KV_HEADER_VIA};` (nullptr as
//      the compact name when there is none). The template supplies clone, sCreate, the tokens and
//      the id from them.
//   2. The class's own .h, after the class, declares one registrar as an inline variable:
//          inline const KvSipHeaderClassRegistrar<KvSipViaHeader> kvSipViaHeaderRegistrar;
//   3. The .h is included by the umbrella KvSipHeaders.h. KvSipHeader.cpp and KvSipMessage.cpp
//      include the umbrella, so whatever links the factory links every registrar and class.
#pragma once

#include "KvObject.h"
#include "KvStringBuffer.h"
#include "KvSipHeaderId.h"

#include <atomic>
#include <cstdint>
#include <typeinfo>

class KvInputStream;
class KvOutputStream;
class KvMutex;
class KvSipGatheringStream;
class KvSipMessage;

class KvSipHeader : public KvObject {
public:
    using Creator = KvSipHeader* (*)();

    // The name starts as the class's long token; the parser replaces it by the name as written.
    explicit KvSipHeader(const KvString& token);
    // Copies name and id; a copy is never linked into a chain.
    KvSipHeader(const KvSipHeader& other);
    KvSipHeader& operator=(const KvSipHeader&) = delete;
    ~KvSipHeader() override;

    virtual const KvString& getToken() const = 0;
    virtual const KvString& getCompactToken() const;
    // Parses the value from a stream that starts right after the colon and ends with CR LF; stops
    // before a comma that separates list elements.
    virtual void doParse(KvInputStream& stream) = 0;
    // Writes the value only: no name, colon or line end.
    virtual void serialize(KvOutputStream& stream) const = 0;

    void setId(KvSipHeaderId id) { m_id = id; }
    KvSipHeaderId getId() const { return m_id; }
    const KvString& getName() const { return m_name; }
    // Throws KvSipParseError for a name with a line break, and keeps the name it had.
    void setName(const KvString& name);
    // The header behind this one, read under the lock of the message that holds the chain.
    KvHandle<KvSipHeader> getNext() const;
    // A header belongs to one chain at a time, whether a message holds that chain or not. Only a
    // free header, one that stands behind no other header and heads no message's chain, is linked
    // or added, and whatever follows it comes along; any other throws "Adding a header twice!"
    // and changes nothing.
    //
    // Links next and the headers behind it in place of those that followed this one; the headers
    // cut off are free again. A next that already stands behind this one is linked too: only the
    // headers between are cut off.
    //
    // A chain that a message holds changes under that message's lock, one that none holds under
    // one lock of its own, so that threads which hold headers of one chain may relink them while
    // another thread drops, copies or answers the message.
    void setNext(const KvHandle<KvSipHeader>& next);
    // Links header behind the last header reachable from this one.
    void appendToChain(const KvHandle<KvSipHeader>& header);

    // Writes this header and every one behind it: name, ": ", value, CR LF each.
    void serializeChain(KvOutputStream& stream) const;

    // Whether the header stands in a message's chain.
    bool isInChain() const { return owner() != nullptr; }

    static void registerHeader(const char* name, Creator creator);
    // A new header of the class registered for name (case ignored), else a KvSipUnknownHeader.
    static KvHandle<KvSipHeader> createHeader(const char* name);
    static KvHandle<KvSipHeader> createHeader(const char* name, uint32_t length);
    // Reads one (possibly folded) header line; a comma list comes back as a chain of siblings.
    static KvHandle<KvSipHeader> sConstructFrom(KvInputStream& stream);

    // Bounds of one header line, name, colon and CR LF included, and of a header name.
    static constexpr uint32_t LINE_BUFFER_SIZE = 1024;
    static constexpr uint32_t NAME_BUFFER_SIZE = 48;

private:
    void writeChain(KvSipGatheringStream& stream) const;
    template <class F> void underOwnerLock(F&& action) const;
    void relink(KvHandle<KvSipHeader> next, KvSipMessage* owner);
    KvSipHeader* claimRun(KvSipMessage* owner, bool behind, const KvSipHeader* loopAt);
    void releaseRun();
    // Whether a handle or a link other than the one that reaches it from its chain holds it.
    bool isHeldElsewhere(int32_t links) const {
        return std::atomic_ref<int32_t>(const_cast<int32_t&>(m_refCount))
                   .load(std::memory_order_acquire) > links;
    }
    static uintptr_t placeOf(KvSipMessage* owner, bool behind) {
        return reinterpret_cast<uintptr_t>(owner) | (behind ? BEHIND : 0);
    }
    void place(KvSipMessage* owner, bool behind, std::memory_order order) {
        m_place.store(placeOf(owner, behind), order);
    }
    KvSipMessage* owner() const {
        return reinterpret_cast<KvSipMessage*>(m_place.load(std::memory_order_acquire) & ~BEHIND);
    }
    // The locks of chains, taken only in this order (each is recursive):
    //   1. ownerLock(message): one of a table that lives as long as the process, so it outlives
    //      every message. A lookup of a header's owner holds it from reading the header's place
    //      to the end of its action; the message's destructor passes through it. So no thread
    //      that reached a message through a header, even one that has left it since, is inside
    //      or waiting for the message's lock once the destructor is through.
    //   2. the message's own lock: its chains and their links, the places of their headers, the
    //      chain ends and order, the body and its length, the peer fields and the parse state.
    //      Apart from a lookup, only a holder of a handle to the message takes it.
    //   3. looseLock(): the links of every chain that no message holds, and the places of its
    //      headers while another handle reaches them.
    // Every action on a chain reads the place of the header it starts from again under the lock it
    // acts under, and starts over when the place has changed: a remove or a cut frees a header
    // under its message's lock alone. Nothing under a message's lock drops a message.
    static KvMutex* ownerLock(const KvSipMessage* owner);
    static KvMutex* looseLock();
    friend class KvSipMessage;

    KvString m_name;
    KvHandle<KvSipHeader> m_next;
    KvSipHeaderId m_id;
    // Where the header stands: the message whose chain holds it (null when none), with BEHIND set
    // when another header links to it; 0 when free. One word, so that two claims of one header,
    // under two messages' locks or none, cannot both succeed.
    static constexpr uintptr_t BEHIND = 1;
    std::atomic<uintptr_t> m_place{0};
};

// The header as class T when it is one, else null. The class registered for an id is told by its
// type alone; a class derived from T needs the general cast.
template <class T> const T* kvHeaderAs(const KvSipHeader* header) {
    if (!header)
        return nullptr;
    if (typeid(*header) == typeid(T))
        return static_cast<const T*>(header);
    return dynamic_cast<const T*>(header);
}

// Enters a header class under its long and compact names; see the rule at the top of this file.
struct KvSipHeaderRegistrar {
    KvSipHeaderRegistrar(const char* token, const char* compactToken,
                         KvSipHeader::Creator creator) {
        KvSipHeader::registerHeader(token, creator);
        if (compactToken)
            KvSipHeader::registerHeader(compactToken, creator);
    }
};
