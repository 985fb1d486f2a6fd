#pragma once

#include <cstdint>

// Reason phrase that the stack writes into the responses it builds. Received responses keep
// the phrase they carried; this table only serves locally generated ones.
const char* reasonPhraseForCode(int32_t statusCode);
