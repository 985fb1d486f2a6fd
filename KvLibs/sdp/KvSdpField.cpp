#include "KvSdpField.h"

#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdp.h" // the registrars of every field class
#include "KvSdpReader.h"
#include "KvStreamTokenizer.h"

#include <map>
#include <string>

namespace {
// Created by the first registration, whichever source file's static initialisation runs first.
std::map<std::string, KvSdpFieldCreator, std::less<>>& registry() {
    static std::map<std::string, KvSdpFieldCreator, std::less<>> map;
    return map;
}

constexpr size_t kMaxTokenLength = 4;
} // namespace

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
    registry().emplace(token, creator);
}

KvHandle<KvSdpField> KvSdpField::sConstructFrom(KvInputStream& stream) {
    KvStreamTokenizer::skipWhitespace(stream);
    // The token ends at "="; a line without one is refused instead of running into the next line.
    std::string token;
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c == '=')
            break;
        if (c < 0 || c == '\r' || c == '\n') {
            stream.reset();
            if (token.empty() && c < 0)
                break;
            KvException::sThrow("Invalid format generic SDP field in KvSdpField::sConstructFrom()");
        }
        if (token.size() == kMaxTokenLength)
            KvException::sThrow("Invalid format generic SDP field in KvSdpField::sConstructFrom()");
        token.push_back(static_cast<char>(c));
    }

    KvHandle<KvSdpField> field;
    auto& map = registry();
    auto it = map.find(token);
    if (it != map.end())
        field = it->second();
    else
        field = new KvSdpUnusedField(token.c_str());
    field->parse(stream);
    return field;
}

KvSdpField* KvSdpField::sAppend(KvSdpField* from, const KvHandle<KvSdpField>& field) {
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
    last->m_next = field;
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

KvSdpUnusedField::~KvSdpUnusedField() = default;

void KvSdpUnusedField::parse(KvInputStream& stream) {
    m_value = KvSdpReader::readRestOfLine(stream);
}

void KvSdpUnusedField::serialize(KvOutputStream& stream) const {
    stream << m_type << "=" << m_value << "\r\n";
}
