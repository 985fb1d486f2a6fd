#include "KvSdpDescription.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvSdp.h" // the registrars of every description class
#include "KvSdpParseError.h"
#include "KvStreamTokenizer.h"

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <utility>

namespace {
struct Registry {
    std::map<std::string, KvSdpDescriptionCreator, std::less<>> tokens;
    // The creators of the one-character tokens again: every line is tested against them.
    KvSdpDescriptionCreator characters[256] = {};
};

Registry& registry() {
    static Registry registry;
    return registry;
}

KvSdpDescriptionCreator creatorOf(int c) {
    return c > 0 && c < 256 ? registry().characters[c] : nullptr;
}

constexpr char kSlotLetters[] = "vtmosiuepcbrzka";

// The tokens and allowed letters of the description classes share one string each instead of a
// copy per description.
KvString sharedText(const char* text) {
    static const struct Texts {
        Texts() {
            for (const KvString& text : texts)
                text->setPermanent();
        }
        KvString texts[6] = {"v", "t", "m", "vosiuepcbzka", "tr", "micbka"};
    } shared;
    if (!text)
        return KvString();
    // Each first letter starts at most two of them: the letter alone and one longer text.
    int index = -1;
    switch (text[0]) {
    case 'v':
        index = 0;
        break;
    case 't':
        index = 1;
        break;
    case 'm':
        index = 2;
        break;
    default:
        return KvString(text);
    }
    if (text[1] == '\0')
        return shared.texts[index];
    const KvString& longer = shared.texts[index + 3];
    if (std::strcmp(longer.c_str(), text) == 0)
        return longer;
    return KvString(text);
}
} // namespace

KvSdpDescription::KvSdpDescription(const char* token, const char* allowed)
    : m_lastFields{}, m_token(sharedText(token)), m_allowed(sharedText(allowed)) {}

KvSdpDescription::~KvSdpDescription() {
    KvHandle<KvSdpDescription> next = std::move(m_next);
    while (!next.isNull() && next->getRefCount() == 1) {
        KvHandle<KvSdpDescription> after = std::move(next->m_next);
        next = std::move(after);
    }
}

void KvSdpDescription::sRegister(const char* token, KvSdpDescriptionCreator creator) {
    if (!token || !creator)
        return;
    Registry& r = registry();
    if (r.tokens.emplace(token, creator).second && token[0] != '\0' && token[1] == '\0')
        r.characters[static_cast<unsigned char>(token[0])] = creator;
}

bool KvSdpDescription::sIsDescriptionToken(int c) {
    return creatorOf(c) != nullptr;
}

KvHandle<KvSdpDescription> KvSdpDescription::sConstructFrom(KvInputStream& stream) {
    KvSdpDescriptionCreator creator = creatorOf(KvStreamTokenizer::skipWhitespace(stream));
    if (!creator)
        KvSdpParseError::sThrow("Unknown token for Description");
    KvHandle<KvSdpDescription> description(creator());
    description->parse(stream);
    return description;
}

int KvSdpDescription::sSlotOf(int letter) {
    // Every line asks: a table built once instead of a search.
    static constexpr auto slots = [] {
        std::array<int8_t, 256> table{};
        table.fill(-1);
        for (int slot = 0; kSlotLetters[slot] != '\0'; ++slot)
            table[static_cast<unsigned char>(kSlotLetters[slot])] = static_cast<int8_t>(slot);
        return table;
    }();
    return letter > 0 && letter < 256 ? slots[static_cast<size_t>(letter)] : -1;
}

bool KvSdpDescription::isAllowed(const char* token) const {
    if (!token || token[0] == '\0' || token[1] != '\0')
        return false;
    return std::strchr(m_allowed.c_str(), token[0]) != nullptr;
}

void KvSdpDescription::addField(const KvHandle<KvSdpField>& field) {
    addField(KvHandle<KvSdpField>(field));
}

void KvSdpDescription::addField(KvHandle<KvSdpField>&& field) {
    if (field.isNull())
        return;
    const char* type = field->getType();
    int slot = sSlotOf(static_cast<unsigned char>(type[0]));
    if (!isAllowed(type) || slot < 0)
        KvException::sThrow(
            "field doesn't belong in this description type KvSdpDescription::addField()");
    if (m_fields[slot].isNull()) {
        m_lastFields[slot] = KvSdpField::sAppend(field.get(), KvHandle<KvSdpField>());
        m_fields[slot] = std::move(field);
    } else {
        m_lastFields[slot] = KvSdpField::sAppend(m_lastFields[slot], std::move(field));
    }
}

KvHandle<KvSdpField> KvSdpDescription::getField(const char* letter) const {
    if (!letter || letter[0] == '\0' || letter[1] != '\0')
        return KvHandle<KvSdpField>();
    int slot = sSlotOf(static_cast<unsigned char>(letter[0]));
    return slot < 0 ? KvHandle<KvSdpField>() : m_fields[slot];
}

KvSdpDescription* KvSdpDescription::sAppend(KvSdpDescription* from,
                                            const KvHandle<KvSdpDescription>& description) {
    if (!from)
        return from;
    KvSdpDescription* last = from;
    while (!last->m_next.isNull())
        last = last->m_next.get();
    // A description whose own chain reaches our last one is already here.
    for (KvSdpDescription* d = description.get(); d; d = d->m_next.get())
        if (d == last)
            return last;
    last->m_next = description;
    while (!last->m_next.isNull())
        last = last->m_next.get();
    return last;
}

void KvSdpDescription::append(const KvHandle<KvSdpDescription>& description) {
    sAppend(this, description);
}

void KvSdpDescription::parse(KvInputStream& stream) {
    addField(KvSdpField::sConstructFrom(stream));
    for (;;) {
        int c = KvStreamTokenizer::skipWhitespace(stream);
        if (c < 0 || sIsDescriptionToken(c))
            return;
        const char letter[2] = {static_cast<char>(c), '\0'};
        if (!isAllowed(letter))
            return;
        addField(KvSdpField::sConstructAtToken(stream));
    }
}

void KvSdpDescription::serializeSlots(KvOutputStream& stream, int first, int last) const {
    for (int slot = first; slot <= last; ++slot)
        for (const KvSdpField* f = m_fields[slot].get(); f; f = f->getNext().get())
            f->serialize(stream);
}

void KvSdpDescription::serialize(KvOutputStream& stream) const {
    serializeSlots(stream, 0, kSlotCount - 1);
}
