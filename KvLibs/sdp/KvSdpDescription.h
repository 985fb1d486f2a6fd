// A container of SDP fields that accepts a fixed set of letters and keeps every field under its
// letter, in 15 slots in the order v t m o s i u e p c b r z k a. Fields of one letter form a chain
// in the order of adding; descriptions of one kind chain through their next handle.
#pragma once

#include "KvSdpField.h"

class KvSdpDescription;

// Returns a new description object, which the caller wraps in a handle at once.
using KvSdpDescriptionCreator = KvSdpDescription* (*)();

class KvSdpDescription : public KvObject {
public:
    static constexpr int kSlotCount = 15;

    // Releases the chain behind this description iteratively.
    ~KvSdpDescription() override;

    // Time and media descriptions: the first line, then every following line whose letter belongs
    // here, up to the next description token; the line that ends the description stays unread.
    virtual void parse(KvInputStream& stream) = 0;
    // Every field, slot by slot in slot order.
    virtual void serialize(KvOutputStream& stream) const = 0;

    // The first registration of a token wins.
    static void sRegister(const char* token, KvSdpDescriptionCreator creator);
    // Creates the description registered for the next non-blank character and parses it.
    static KvHandle<KvSdpDescription> sConstructFrom(KvInputStream& stream);

    // Files the field under its letter; a null handle is ignored, a letter that does not belong
    // here throws.
    void addField(const KvHandle<KvSdpField>& field);
    void addField(KvHandle<KvSdpField>&& field);
    // The first field of the letter, or null (also for a letter without a slot).
    KvHandle<KvSdpField> getField(const char* letter) const;
    // True for exactly one letter of this description's allowed letters.
    bool isAllowed(const char* token) const;

    void append(const KvHandle<KvSdpDescription>& description);
    KvHandle<KvSdpDescription> getNext() const { return m_next; }
    const char* getToken() const { return m_token.c_str(); }

    // Walks from a known member of the chain; returns the chain's new last description.
    static KvSdpDescription* sAppend(KvSdpDescription* from,
                                     const KvHandle<KvSdpDescription>& description);

protected:
    KvSdpDescription(const char* token, const char* allowed);
    // Writes the fields of slots first to last, inclusive.
    void serializeSlots(KvOutputStream& stream, int first, int last) const;
    static bool sIsDescriptionToken(int c);

private:
    static int sSlotOf(int letter);

    KvHandle<KvSdpField> m_fields[kSlotCount];
    // The last field of each slot's chain, so that adding stays cheap for long bodies.
    KvSdpField* m_lastFields[kSlotCount];
    KvString m_token;
    KvString m_allowed;
    KvHandle<KvSdpDescription> m_next;
};

// Registers one description class under its token during static initialisation.
class KvSdpDescriptionRegistrar {
public:
    KvSdpDescriptionRegistrar(const char* token, KvSdpDescriptionCreator creator) {
        KvSdpDescription::sRegister(token, creator);
    }
    template <class T> static KvSdpDescription* sCreate() { return new T; }
};
