// A SIP URL (request-line form), then a name-address, read from the same bytes and written back.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvException.h"
#include "KvSipNameAddress.h"
#include "KvURI.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvHandle<KvByteArray> bytes = KvByteArray::sCreate(static_cast<uint32_t>(size), data);
    try {
        KvByteArrayInputStream in(bytes);
        KvHandle<KvURI> uri = KvURI::createURI(in, true);
        if (!uri.isNull())
            uri->serialize();
    } catch (KvHandle<KvException>&) {
    }
    try {
        KvHandle<KvSipNameAddress> address(new KvSipNameAddress);
        address->parse(std::string(reinterpret_cast<const char*>(data), size).c_str());
        KvByteArrayOutputStream out;
        address->write(out);
    } catch (KvHandle<KvException>&) {
    }
    return 0;
}
