// sipdump: parses SIP messages and shows what the stack made of them.
//
//   sipdump FILE...                      each file is one SIP message
//   sipdump --listen udp|tcp PORT [--count N]
//
// For each message it prints the parse state, the start line, every header with its header id,
// the body length, and the message as the stack writes it back. What the parser logged about a
// damaged message goes to the standard error output.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvClientSocket.h"
#include "KvDatagramPacket.h"
#include "KvDatagramSocket.h"
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvMediaSession.h"
#include "KvSipHeader.h"
#include "KvSipMessage.h"
#include "KvServerSocket.h"
#include "KvSipParseError.h"
#include "KvPlatformSocket.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char* stateText(int32_t state) {
    switch (state) {
    case KV_VALID:
        return "valid";
    case KV_MALFORMED:
        return "malformed";
    case KV_INVALID:
        return "invalid";
    case 414:
        return "request-URI too long (414)";
    case 416:
        return "unsupported URI scheme (416)";
    case 505:
        return "SIP version not supported (505)";
    default:
        return "unknown";
    }
}

// Runs one step of the output. A stack exception that a library call raises there is printed
// with its text, as what the step gave, and the output goes on with the next step.
template <class Step> void printStep(const char* what, Step step) {
    try {
        step();
    } catch (KvHandle<KvException>& e) {
        std::cout << what << ": stack exception: " << e->getText() << '\n';
    }
}

std::string toText(const KvHandle<KvByteArray>& bytes) {
    return bytes.isNull() ? std::string() : std::string(bytes->getData(), bytes->size());
}

// Writes text so that line ends and bytes that do not print stay visible.
void printEscaped(const std::string& text) {
    for (unsigned char c : text) {
        if (c == '\r')
            std::cout << "\\r";
        else if (c == '\n')
            std::cout << "\\n\n";
        else if (c == '\t' || (c >= 0x20 && c != 0x7f))
            std::cout << c;
        else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
            std::cout << escaped;
        }
    }
    if (!text.empty() && text.back() != '\n')
        std::cout << '\n';
}

// An SDP body, read the way a call reads it: as a media session with its streams.
void printMediaSession(const KvHandle<KvSipMessage>& message) {
    if (message->getBodyLength() == 0 ||
        !message->getContentType().equalsIgnoreCase("application/sdp"))
        return;
    KvHandle<KvMediaSession> session;
    try {
        session = KvMediaSession::sConstructFrom(message->getBody(),
                                                 static_cast<int32_t>(message->getBodyLength()));
    } catch (KvHandle<KvException>& e) {
        std::cout << "media session: not read: " << e->getText() << '\n';
        return;
    }
    if (session.isNull()) {
        std::cout << "media session: none (no usable SDP)\n";
        return;
    }
    std::cout << "media session: origin " << session->getOriginAddress() << '\n';
    static const char* const kTypes[] = {"audio", "video", "text", "image", "application"};
    for (const KvHandle<KvMediaStream>& stream : session->getStreams()) {
        int32_t type = stream->getMediaType();
        std::cout << "  stream " << (type >= 0 && type < 5 ? kTypes[type] : "?") << " "
                  << stream->getAddress().getHostAddress() << ":" << stream->getPort()
                  << ", formats";
        for (const KvMediaFormat& format : stream->getFormats())
            std::cout << ' ' << format.getPayloadType() << '/' << format.getEncodingName();
        std::cout << '\n';
    }
}

void dumpMessage(const std::string& bytes) {
    KvHandle<KvByteArray> array =
        KvByteArray::sCreate(static_cast<uint32_t>(bytes.size()), bytes.data());
    KvByteArrayInputStream input(array);
    KvHandle<KvSipMessage> message;
    try {
        message = KvSipMessage::sConstructFrom(input);
    } catch (KvHandle<KvException>& e) {
        std::cout << "not a SIP message: " << e->getText() << '\n';
        return;
    }
    printStep("parse state", [&] {
        std::cout << "parse state: " << message->getParseState() << " ("
                  << stateText(message->getParseState()) << ")\n";
    });

    KvByteArrayOutputStream startLine;
    try {
        message->serializeStartLine(startLine);
        std::string line = toText(startLine.toByteArray());
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::cout << "start line: " << line << '\n';
    } catch (KvHandle<KvException>& e) {
        std::cout << "start line: (none: " << e->getText() << ")\n";
    }

    printStep("headers", [&] {
        for (KvSipHeaderId id : message->getHeaderOrder()) {
            for (KvHandle<KvSipHeader> header = message->getHeader(id); !header.isNull();
                 header = header->getNext()) {
                std::cout << "header " << id << "\t" << header->getName().c_str() << ": ";
                printStep("header value", [&] {
                    KvByteArrayOutputStream value;
                    header->serialize(value);
                    std::cout << toText(value.toByteArray()) << '\n';
                });
            }
        }
    });
    printStep("body", [&] {
        std::cout << "body length: " << message->getBodyLength() << '\n';
        printMediaSession(message);
    });

    KvByteArrayOutputStream written(static_cast<uint32_t>(bytes.size()) + 256);
    try {
        message->serialize(written);
        std::cout << "written back:\n";
        printEscaped(toText(written.toByteArray()));
    } catch (KvHandle<KvException>& e) {
        std::cout << "cannot be written back: " << e->getText() << '\n';
    }
}

bool dumpFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "sipdump: cannot read " << path << '\n';
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::cout << "=== " << path << " (" << bytes.size() << " bytes)\n";
    dumpMessage(bytes);
    return true;
}

// 127.0.0.1 itself: KvInetAddress("127.0.0.1") stands for the machine's own address.
KvInetAddress loopback() {
    return KvInetAddress::sFromAddress(kvInetAddr("127.0.0.1"));
}

// Receives datagrams on the port and dumps each; count 0 means no end.
int listenUdp(uint32_t port, uint64_t count) {
    const uint32_t size = 65536;
    KvHandle<KvDatagramSocket> socket(new KvDatagramSocket(port, loopback(), false, size));
    std::cout << "listening on UDP port " << port << std::endl;
    for (uint64_t n = 0; count == 0 || n < count;) {
        KvDatagramPacket packet(KvByteArray::sCreate(size), 0, size, KvInetAddress(), 0);
        socket->receive(packet);
        if (packet.getLength() == KvDatagramPacket::kFailedLength)
            continue; // oversized or failed: logged by the socket
        std::cout << "=== UDP from " << packet.getAddress().getHostAddress() << ':'
                  << packet.getPort() << " (" << packet.getLength() << " bytes)\n";
        dumpMessage(std::string(packet.getData()->getData(), packet.getLength()));
        std::cout << std::flush;
        ++n;
    }
    return 0;
}

// Accepts connections one after the other and dumps every message that the SIP-over-TCP framing
// cuts out of them; count 0 means no end.
int listenTcp(uint32_t port, uint64_t count) {
    KvHandle<KvServerSocket> server(new KvServerSocket(port, loopback()));
    std::cout << "listening on TCP port " << port << std::endl;
    uint64_t n = 0;
    while (count == 0 || n < count) {
        KvHandle<KvClientSocket> client = server->accept();
        if (client->getHandle() < 0)
            continue;
        KvInetAddress peer = client->getPeerAddress();
        uint32_t peerPort = client->getPeerPort();
        KvHandle<KvBufferedInputStream> stream = client->getInputStream();
        while (count == 0 || n < count) {
            if (!stream->hasCompleteMessage()) {
                if (stream->getFramingError() || stream->fill(8192) < 0)
                    break;
                continue;
            }
            KvHandle<KvDatagramPacket> packet = stream->readMessagePacket();
            if (packet.isNull())
                break;
            std::cout << "=== TCP from " << peer.getHostAddress() << ':' << peerPort << " ("
                      << packet->getLength() << " bytes)\n";
            dumpMessage(std::string(packet->getData()->getData() + packet->getOffset(),
                                    packet->getLength()));
            std::cout << std::flush;
            ++n;
        }
        if (const char* error = stream->getFramingError())
            std::cout << "connection closed: " << error << '\n';
        client->close();
    }
    return 0;
}

bool parseNumber(const char* text, uint64_t& value) {
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *text >= '0' && *text <= '9' && end && *end == '\0';
}

int usage(std::ostream& out, int code) {
    out << "usage: sipdump FILE...\n"
           "       sipdump --listen udp|tcp PORT [--count N]\n"
           "Parses each FILE as one SIP message, or listens on PORT of 127.0.0.1 and parses\n"
           "what arrives, N messages or without end; prints what the stack made of each\n"
           "message.\n";
    return code;
}

int usage() {
    return usage(std::cerr, 2);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    if (std::strcmp(argv[1], "--help") == 0)
        return usage(std::cout, 0);
    // The parser's reasons for a damaged message go to the standard error output.
    KvErrorStream::instance()->addCategory("KvException");

    if (std::strcmp(argv[1], "--listen") == 0) {
        uint64_t port = 0;
        uint64_t count = 0;
        bool udp = argc >= 3 && std::strcmp(argv[2], "udp") == 0;
        bool tcp = argc >= 3 && std::strcmp(argv[2], "tcp") == 0;
        if ((argc != 4 && argc != 6) || !(udp || tcp) || !parseNumber(argv[3], port) ||
            port > 65535 ||
            (argc == 6 && (std::strcmp(argv[4], "--count") != 0 || !parseNumber(argv[5], count))))
            return usage();
        try {
            return udp ? listenUdp(static_cast<uint32_t>(port), count)
                       : listenTcp(static_cast<uint32_t>(port), count);
        } catch (KvHandle<KvException>& e) {
            std::cerr << "sipdump: " << e->getText() << '\n';
            return 1;
        }
    }

    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        ok = dumpFile(argv[i]) && ok;
        std::cout << std::flush;
    }
    return ok ? 0 : 1;
}
