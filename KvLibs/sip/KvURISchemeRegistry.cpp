#include "KvURISchemeRegistry.h"

#include <algorithm>

namespace {
char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

bool KvURISchemeRegistry::LessIgnoreCase::operator()(const std::string& left,
                                                     const std::string& right) const {
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [](char a, char b) { return foldAscii(a) < foldAscii(b); });
}

KvURISchemeRegistry& KvURISchemeRegistry::instance() {
    static KvURISchemeRegistry registry;
    return registry;
}

void KvURISchemeRegistry::add(const char* scheme, Creator creator) {
    if (!scheme || !creator)
        return;
    m_creators.emplace(scheme, creator);
}

KvURISchemeRegistry::Creator KvURISchemeRegistry::find(const char* scheme) const {
    if (!scheme)
        return nullptr;
    auto it = m_creators.find(scheme);
    return it == m_creators.end() ? nullptr : it->second;
}
