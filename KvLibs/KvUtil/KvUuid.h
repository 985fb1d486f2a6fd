// Time-based (version 1) UUIDs as text, unique across calls, threads and machines. The node field
// is an MD5 hash of machine state with its marker bit set, not a network address.
#pragma once

#include <cstddef>

// 36 characters and the terminating NUL.
inline constexpr size_t kUuidTextSize = 37;

// Writes the UUID text and its NUL into a buffer of at least kUuidTextSize bytes.
void generateUuid(char* buffer);
// The same for a buffer of the given size; a buffer that is too small raises an assertion failure
// and is left untouched.
void generateUuid(char* buffer, size_t size);
