// Base64 (RFC 4648 alphabet, "=" padding, no line breaks), as nonces are written.
#pragma once

#include "KvStringBuffer.h"

// Encodes the bytes of a C text (up to its terminating NUL); a null text gives an empty string.
KvString base64Encode(const char* text);
// Decodes a Base64 text into a string of its bytes (its length counts them; a NUL follows).
// Characters outside the alphabet are passed over; a "=" ends the decoding, and a last group of
// two or three characters gives one or two bytes. Nothing beyond the text's NUL is ever read.
KvString base64Decode(const char* text);
