#include "KvSdpSofiaPeer.h"

#include <sofia-sip/sdp.h>

#include <cstring>

namespace KvSdpSofiaPeer {

bool check(const char* text, size_t length) {
    sdp_parser_t* parser = sdp_parse(nullptr, text, static_cast<issize_t>(length), sdp_f_strict);
    const bool good = parser && sdp_session(parser) && !sdp_parsing_error(parser);
    sdp_parser_free(parser);
    return good;
}

void parse(const char* text, size_t length) {
    sdp_parser_t* parser = sdp_parse(nullptr, text, static_cast<issize_t>(length), sdp_f_strict);
    sdp_parser_free(parser);
}

size_t parseSerialize(const char* text, size_t length) {
    sdp_parser_t* parser = sdp_parse(nullptr, text, static_cast<issize_t>(length), sdp_f_strict);
    sdp_printer_t* printer = sdp_print(nullptr, sdp_session(parser), nullptr, 0, 0);
    const char* written = sdp_message(printer);
    const size_t size = written ? std::strlen(written) : 0;
    sdp_printer_free(printer);
    sdp_parser_free(parser);
    return size;
}

} // namespace KvSdpSofiaPeer
