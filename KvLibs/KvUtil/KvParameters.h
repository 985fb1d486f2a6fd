// An ordered key[=value] list (header, URL and Digest parameters), looked up without regard to
// case. New pairs go to the head, so a list holds and writes its pairs in reverse order of
// insertion.
#pragma once

#include "KvConstString.h"
#include "KvMutex.h"
#include "KvObject.h"
#include "KvStringBuffer.h"

#include <cstdint>
#include <string_view>

class KvCharClass;
class KvInputCursor;
class KvInputStream;
class KvOutputStream;

class KvParameters : public KvObject {
public:
    explicit KvParameters(const char* separator = ";");
    KvParameters(const KvParameters& other);
    KvParameters& operator=(const KvParameters& other);
    ~KvParameters() override;
    KvObject* clone() const override { return new KvParameters(*this); }

    // A key or value that holds a CR or LF throws KvException and changes nothing: the list is
    // written inside one line.
    void setParameter(const char* key, const char* value);
    // setParameter without that check, for a parser storing what it read (cut at its line's end
    // already) and for a text that is never written (a password).
    void storeParameter(const char* key, const char* value);
    // setParameter without the lock, for the parser filling a list that it made and has not yet
    // handed to anyone: no other thread can reach the list.
    void setParsedParameter(const char* key, const char* value);
    // The same with the texts' lengths known: key is already trimmed, and both are already cut
    // where a NUL ends the C text they were read as.
    void setParsedParameter(std::string_view key, std::string_view value);
    void removeParameter(const char* key);
    void removeAll();
    bool hasParameter(const char* key) const;
    KvString getParameter(const char* key) const;
    const char* getParameterText(const char* key) const;
    // getParameterText without the lock, for the parser checking a list that it filled and has not
    // yet handed to anyone.
    const char* getParsedParameterText(const char* key) const;
    uint32_t getCount() const;

    KvString serialize() const;
    void writeTo(KvOutputStream& stream) const;
    void parseString(const char* text);
    void parse(KvInputStream& stream);
    // The same through the cursor of a parser that reads on behind the list.
    void parse(KvInputCursor& cursor);

    // Visits each pair from the head, under the list's lock; value is null for a key alone. A
    // visit must not change the list it walks: a set, remove or assignment made on it from inside
    // the walk throws KvException "KvParameters - changed during forEach" and changes nothing.
    template <class F> void forEach(F visit) const {
        forEach(visit, [] {});
    }
    // The same, then done() while the lock is still held: what the visits gathered stays valid.
    template <class F, class G> void forEach(F visit, G done) const {
        Walk walk(*this);
        for (const Node* node = m_head; node; node = node->next)
            visit(node->key(), node->value());
        done();
    }

private:
    // A pair in one block: the node, then its key and its value, each ended by a NUL. A list
    // costs one block per pair, and dropping one is a single release.
    struct Node {
        Node* next;
        uint32_t keyLength;
        uint32_t valueLength;
        const char* key() const { return reinterpret_cast<const char*>(this + 1); }
        // Null for a key alone or an empty value.
        const char* value() const { return valueLength ? key() + keyLength + 1 : nullptr; }
        std::string_view keyText() const { return {key(), keyLength}; }
        std::string_view valueText() const { return {key() + keyLength + 1, valueLength}; }
        static Node* sMake(std::string_view key, std::string_view value, Node* next);
        static void sDrop(Node* node) noexcept;
    };
    static Node* sCopy(const Node* head);
    static void sDeleteAll(Node* head);
    const Node* find(const char* trimmedKey) const;
    void setUnlocked(std::string_view key, std::string_view value);
    void addAtHead(std::string_view key, std::string_view value);
    // A parsed token ended: a key and its value, or a key alone when value is null.
    void addParsed(std::string_view key, const std::string_view* value, bool atEnd);
    // parse() with the bytes it acts on: quotes, "=", ",", line ends, NUL and the separators.
    void parseWith(KvInputCursor& cursor, const KvCharClass& stops);
    bool parseInPlace(KvInputCursor& cursor, const KvCharClass& stops);
    void lockList() const;
    void unlockList() const;
    // Holds the lock for a walk and marks the list as walked by this thread, whose changes to it
    // would free the nodes the walk stands on. Other threads wait for the lock anyway.
    class Walk {
    public:
        explicit Walk(const KvParameters& list);
        ~Walk();
        Walk(const Walk&) = delete;
        Walk& operator=(const Walk&) = delete;

    private:
        friend class KvParameters;
        const KvParameters* const m_list;
        const Walk* const m_outer;
    };
    static thread_local const Walk* tInnermostWalk;
    // Throws when this thread is walking the list.
    void refuseChangeInWalk() const;
    void setCount(uint32_t count);

    // The count first: it fills the object base's tail padding, keeping a list within the
    // allocator's small sizes.
    uint32_t m_count;
    Node* m_head;
    // A bit per length and first letter of the keys set, or once set (all of them once a text
    // was parsed into the list): a key whose bit is clear is new to the list, known without a
    // walk.
    uint64_t m_keys;
    // The list's own lock, held in the object so that a list costs one allocation.
    KvMutex m_mutexStorage;
    KvMutex* m_mutex;
    KvConstString m_separator;
};
