#include "KvSipContentLengthHeader.h"

KvSipContentLengthHeader::KvSipContentLengthHeader(uint32_t length) : KvSipHeaderClass(length) {}
