#include "KvSipOptionTagHeader.h"

#include "KvInputStream.h"
#include "KvStreamTokenizer.h"

namespace {
constexpr KvCharClass kTagEnds{", \t\r\n"};
} // namespace

void KvSipOptionTagHeader::doParse(KvInputStream& stream) {
    // The tags peers list most are shared strings: a Supported list costs no allocation per tag.
    static const KvString tags[] = {"timer",     "100rel",      "replaces",   "path",
                                    "outbound",  "gruu",        "norefersub", "precondition",
                                    "eventlist", "from-change", "histinfo",   "join"};
    static const bool permanent = sMakePermanent(tags, std::size(tags));
    (void)permanent;
    char buffer[64];
    KvString longer;
    const std::string_view tag =
        KvStreamTokenizer::takeToken(stream, kTagEnds, buffer, sizeof buffer, longer);
    m_text = longer.isEmpty() ? sSharedText(tags, tag) : std::move(longer);
}
