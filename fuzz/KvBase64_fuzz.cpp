// Base64 decoding of arbitrary text, and encoding of what it gives back.
#include "KvBase64.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    KvString decoded = base64Decode(text.c_str());
    KvString encoded = base64Encode(text.c_str());
    KvString again = base64Decode(encoded.c_str());
    // What was encoded up to the first NUL must come back unchanged.
    if (std::string(again.c_str()) != std::string(text.c_str()))
        __builtin_trap();
    (void)decoded;
    return 0;
}
