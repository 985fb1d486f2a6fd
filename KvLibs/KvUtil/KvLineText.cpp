#include "KvLineText.h"

#include <array>
#include <cstring>

namespace {
// The characters that end a C text or a line.
constexpr std::array<bool, 256> kEnds = [] {
    std::array<bool, 256> ends{};
    ends['\0'] = ends['\r'] = ends['\n'] = true;
    return ends;
}();
} // namespace

bool KvLineText::holdsLineEnd(const char* text) {
    if (!text)
        return false;
    const auto* c = reinterpret_cast<const unsigned char*>(text);
    while (!kEnds[*c])
        ++c;
    return *c != '\0';
}

bool KvLineText::holdsInnerLineEnd(const char* text) {
    if (!text)
        return false;
    const char* end = text + std::strcspn(text, "\r\n");
    return *end != '\0' && std::strcmp(end, "\r\n") != 0 && std::strcmp(end, "\n") != 0;
}

bool KvLineText::holdsLineEnd(std::string_view text) {
    for (char c : text)
        if (kEnds[static_cast<unsigned char>(c)])
            return true;
    return false;
}
