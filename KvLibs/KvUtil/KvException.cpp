#include "KvException.h"

#include "KvOutputStream.h"
#include "KvPlatformSync.h"

KvException::KvException(const char* message) : m_message(message) {}
KvException::KvException(const KvString& message) : m_message(message) {}
KvException::~KvException() = default;

void KvException::print(KvOutputStream& stream) const {
    stream << "!! Exception !!\n";
    KvObject::print(stream);
    stream << "\n" << m_message;
}

void KvException::sThrow(const char* message) {
    sThrowHandle(new KvException(message ? message : "Unknown Exception"));
}

void KvException::sThrowHandle(KvException* exception) {
    throw KvHandle<KvException>(exception);
}

KvAssertionFailure::KvAssertionFailure(const char* message, const char* sourceFile, int32_t line,
                                       const char* compileDate)
    : KvException(message), m_sourceFile(sourceFile), m_line(line), m_compileDate(compileDate) {}
KvAssertionFailure::~KvAssertionFailure() = default;

void KvAssertionFailure::print(KvOutputStream& stream) const {
    printException(stream);
    stream << "\n"
           << (m_sourceFile ? m_sourceFile : "") << " line " << static_cast<uint32_t>(m_line)
           << "\nCompilation : " << (m_compileDate ? m_compileDate : "") << endl;
}

void KvAssertionFailure::sThrow(const char* message, const char* sourceFile, int32_t line,
                                const char* compileDate) {
    sThrowHandle(new KvAssertionFailure(message ? message : "Unknown Exception", sourceFile, line,
                                        compileDate));
}

KvSystemError::KvSystemError(const char* message, uint32_t code)
    : KvException(message), m_errorCode(code ? code : kvGetLastError()) {}
KvSystemError::~KvSystemError() = default;

void KvSystemError::print(KvOutputStream& stream) const {
    printException(stream);
    std::string text = kvSystemErrorText(m_errorCode);
    stream << ": " << text.c_str() << " (" << static_cast<int32_t>(m_errorCode) << ")";
}

void KvSystemError::sThrow(const char* message, uint32_t code) {
    if (code == 0)
        code = kvGetLastError(); // read before anything else can change it
    sThrowHandle(new KvSystemError(message ? message : "Unknown Exception", code));
}

namespace {
struct SocketErrorText {
    uint32_t code;
    const char* text;
};
const SocketErrorText kSocketErrors[] = {
    {10004, "Interrupted function call."},
    {10009, "Bad socket number."},
    {10013, "Permission denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open sockets."},
    {10035, "Resource temporarily unavailable."},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Network dropped connection on reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send after socket shutdown."},
    {10059, "WSAETOOMANYREFS"},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "WSAELOOP"},
    {10063, "Name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Not Empty"},
    {10067, "Too many processes."},
    {10068, "WSAEUSERS"},
    {10069, "WSAEDQUOT"},
    {10070, "WSAESTALE"},
    {10091, "Network subsystem is unavailable."},
    {10092, "WINSOCK.DLL version out of range"},
    {10093, "Windows sockets not initialised."},
    {10101, "Graceful shutdown in progress."},
    {10102, "WSAENOMORE"},
    {10103, "WSAECANCELLED"},
    {10104, "Invalid procedure table from service provider."},
    {10105, "Invalid service provider version number."},
    {10106, "Unable to initialize a service provider."},
    {10107, "System call failure."},
    {10108, "WSASERVICE_NOT_FOUND"},
    {10109, "Class type not found."},
    {10110, "WSA_E_NO_MORE"},
    {10111, "WSA_E_CANCELLED"},
    {10112, "WSAEREFUSED"},
    {11001, "Host not found."},
    {11002, "Non-authoritative host not found."},
    {11003, "Non-recoverable error."},
    {11004, "Valid name, no data record of requested type."},
};
} // namespace

const char* KvSocketError::sErrorText(uint32_t code) {
    for (const auto& entry : kSocketErrors)
        if (entry.code == code)
            return entry.text;
    return nullptr;
}

KvSocketError::KvSocketError(const char* message, uint32_t code)
    : KvSystemError(message, code ? code : kvGetLastSocketError()) {}
KvSocketError::~KvSocketError() = default;

void KvSocketError::print(KvOutputStream& stream) const {
    const char* text = sErrorText(m_errorCode);
    if (!text) {
        KvSystemError::print(stream);
        return;
    }
    printException(stream);
    stream << ": " << text << " (" << static_cast<int32_t>(m_errorCode) << ")";
}

void KvSocketError::sThrow(const char* message, uint32_t code) {
    if (code == 0)
        code = kvGetLastSocketError();
    sThrowHandle(new KvSocketError(message ? message : "Unknown Exception", code));
}
