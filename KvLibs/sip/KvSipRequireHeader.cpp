#include "KvSipRequireHeader.h"

KvSipRequireHeader::KvSipRequireHeader(const char* text) : KvSipHeaderClass(text) {}
