#include "KvSipSupportedHeader.h"

KvSipSupportedHeader::KvSipSupportedHeader(const char* text) : KvSipHeaderClass(text) {}
