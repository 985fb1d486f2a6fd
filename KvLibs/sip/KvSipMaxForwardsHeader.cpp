#include "KvSipMaxForwardsHeader.h"

KvSipMaxForwardsHeader::KvSipMaxForwardsHeader(uint32_t hops) : KvSipHeaderClass(hops) {}
