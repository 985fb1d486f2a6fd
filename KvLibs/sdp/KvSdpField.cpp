#include "KvSdpField.h"

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdp.h" // the registrars of every field class
#include "KvSdpReader.h"
#include "KvStreamTokenizer.h"

#include <map>
#include <string>
#include <utility>

namespace {
struct Registry {
    std::map<std::string, KvSdpFieldCreator, std::less<>> tokens;
    // The creators of the one-character tokens again, so that reading a line needs no map search.
    KvSdpFieldCreator characters[256] = {};
};

// Created by the first registration, whichever source file's static initialisation runs first.
Registry& registry() {
    static Registry registry;
    return registry;
}

constexpr size_t kMaxTokenLength = 4;
const char* const kInvalidToken =
    "Invalid format generic SDP field in KvSdpField::sConstructFrom()";

// The one-letter type tokens share one string each instead of a copy per field.
KvString typeToken(const char* type) {
    static const struct Letters {
        Letters() {
            for (char letter = 'a'; letter <= 'z'; ++letter) {
                const char text[2] = {letter, '\0'};
                texts[letter - 'a'] = KvString(text);
                // Every field holds one: a count that never moves costs no locked cycle.
                texts[letter - 'a']->setPermanent();
            }
        }
        KvString texts['z' - 'a' + 1];
    } letters;
    if (type && type[0] >= 'a' && type[0] <= 'z' && type[1] == '\0')
        return letters.texts[type[0] - 'a'];
    return KvString(type);
}
} // namespace

KvSdpField::KvSdpField(const char* type) : m_type(typeToken(type)) {}

KvSdpField::~KvSdpField() {
    KvHandle<KvSdpField> next = std::move(m_next);
    while (!next.isNull() && next->getRefCount() == 1) {
        KvHandle<KvSdpField> after = std::move(next->m_next);
        next = std::move(after);
    }
}

void KvSdpField::sRegister(const char* token, KvSdpFieldCreator creator) {
    if (!token || !creator)
        return;
    Registry& r = registry();
    if (r.tokens.emplace(token, creator).second && token[0] != '\0' && token[1] == '\0')
        r.characters[static_cast<unsigned char>(token[0])] = creator;
}

KvHandle<KvSdpField> KvSdpField::sConstructFrom(KvInputStream& stream) {
    KvStreamTokenizer::skipWhitespace(stream);
    return sConstructAtToken(stream);
}

KvHandle<KvSdpField> KvSdpField::sConstructAtToken(KvInputStream& stream) {
    // The token ends at "="; a line without one is refused instead of running into the next line.
    char token[kMaxTokenLength + 1];
    size_t length = 0;
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // The same outcome as the loop below, without calls per character.
        for (;; ++length) {
            if (length == available) {
                if (length == 0)
                    break;
                stream.skip(static_cast<int64_t>(length));
                KvException::sThrow(kInvalidToken);
            }
            const char c = bytes[length];
            if (c == '=') {
                stream.skip(static_cast<int64_t>(length));
                stream.mark(1);
                stream.skip(1);
                break;
            }
            if (c == '\r' || c == '\n') {
                stream.skip(static_cast<int64_t>(length));
                KvException::sThrow(kInvalidToken);
            }
            if (c == '\0' || length == kMaxTokenLength) {
                stream.skip(static_cast<int64_t>(length) + 1);
                KvException::sThrow(kInvalidToken);
            }
            token[length] = c;
        }
    }
    while (!available) {
        stream.mark(1);
        int c = stream.read();
        if (c == '=')
            break;
        if (c < 0 || c == '\r' || c == '\n') {
            stream.reset();
            if (length == 0 && c < 0)
                break;
            KvException::sThrow(kInvalidToken);
        }
        // A NUL would cut the token short and file the line under another token.
        if (c == '\0' || length == kMaxTokenLength)
            KvException::sThrow(kInvalidToken);
        token[length++] = static_cast<char>(c);
    }
    token[length] = '\0';

    const Registry& r = registry();
    KvSdpFieldCreator creator = nullptr;
    if (length == 1) {
        creator = r.characters[static_cast<unsigned char>(token[0])];
    } else {
        auto it = r.tokens.find(std::string_view(token, length));
        if (it != r.tokens.end())
            creator = it->second;
    }
    KvHandle<KvSdpField> field;
    if (creator)
        field = creator();
    else
        field = new KvSdpUnusedField(token);
    field->parse(stream);
    return field;
}

KvSdpField* KvSdpField::sAppend(KvSdpField* from, const KvHandle<KvSdpField>& field) {
    return sAppend(from, KvHandle<KvSdpField>(field));
}

KvSdpField* KvSdpField::sAppend(KvSdpField* from, KvHandle<KvSdpField>&& field) {
    if (!from)
        return from;
    KvSdpField* last = from;
    while (!last->m_next.isNull())
        last = last->m_next.get();
    // A field whose own chain reaches our last field is already here; linking it would close a
    // cycle.
    for (KvSdpField* f = field.get(); f; f = f->m_next.get())
        if (f == last)
            return last;
    // Handed over, not copied: a parsed field costs no count traffic on its way into the chain.
    last->m_next = std::move(field);
    while (!last->m_next.isNull())
        last = last->m_next.get();
    return last;
}

void KvSdpField::append(const KvHandle<KvSdpField>& field) {
    sAppend(this, field);
}

void KvSdpField::parseText(const char* text) {
    if (!text)
        return;
    KvByteArrayInputStream stream(KvByteArray::sFromString(text));
    parse(stream);
}

void KvSdpField::setChecked(KvString& target, const char* text) const {
    KvSdpReader::refuseLineEnd(text, *this);
    target = KvString(text);
}

void KvSdpField::setChecked(KvConstString& target, const char* text) const {
    KvSdpReader::refuseLineEnd(text, *this);
    target = text;
}

KvSdpUnusedField::KvSdpUnusedField(const char* token) : KvSdpField(token) {
    KvSdpReader::refuseLineEnd(token, "Attempting to create KvSdpUnusedField with a line break");
}

KvSdpUnusedField::~KvSdpUnusedField() = default;

void KvSdpUnusedField::parse(KvInputStream& stream) {
    m_value = KvSdpReader::readRestOfLine(stream);
}

void KvSdpUnusedField::serialize(KvOutputStream& stream) const {
    stream << m_type << "=" << m_value << "\r\n";
}
