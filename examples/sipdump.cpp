// sipdump: parses SIP messages and shows what the stack made of them.
//
//   sipdump [--] FILE...                 each file is one SIP message; "--" ends the options
//   sipdump --listen udp|tcp PORT [--count N]
//
// For each message it prints the parse state and the verdict (valid, or not and why), the start
// line, every header with its header id, the body length, and the message as the stack writes it
// back. What the parser logged about a damaged message, or the mandatory header rule that an
// invalid one breaks, goes to the standard error output, each line led by the file or peer.
//
// Exit status: 0 when every message read is valid, 1 when one is not (damaged or refused), 2 for
// a usage, file or socket error.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvClientSocket.h"
#include "KvDatagramPacket.h"
#include "KvDatagramSocket.h"
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvFileInputStream.h"
#include "KvMediaSession.h"
#include "KvOutputStream.h"
#include "KvSipCSeqHeader.h"
#include "KvSipHeader.h"
#include "KvSipMessage.h"
#include "KvSipRequest.h"
#include "KvServerSocket.h"
#include "KvSipParseError.h"
#include "KvPlatformSocket.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

enum ExitStatus : int { kAllValid = 0, kNotValid = 1, kFailed = 2 };

// The library's error lines, and sipdump's own about a message, on the standard error output,
// each led by the file or peer whose message it is about.
class SourceLines : public KvOutputStream {
public:
    void setSource(std::string source) { m_source = std::move(source); }
    // Lines begun so far: tells whether the parser said anything about a message.
    uint64_t lineCount() const { return m_lines; }

    using KvOutputStream::write;
    void write(uint8_t byte) override {
        if (m_lineStart) {
            std::cerr << "sipdump: " << m_source << (m_source.empty() ? "" : ": ");
            ++m_lines;
        }
        std::cerr.put(static_cast<char>(byte));
        m_lineStart = byte == '\n';
    }
    void flush() override { std::cerr.flush(); }

private:
    std::string m_source;
    bool m_lineStart = true;
    uint64_t m_lines = 0;
};

SourceLines* gErrorLines = nullptr;

void setSource(const std::string& source) {
    if (gErrorLines)
        gErrorLines->setSource(source);
}

// A line of sipdump's own among the library's, led the same way.
void reportLine(const std::string& text) {
    if (!gErrorLines)
        return;
    std::string line = text + '\n';
    gErrorLines->write(line.data(), static_cast<uint32_t>(line.size()), 0);
    gErrorLines->flush();
}

// The first of the mandatory-header rules that the message breaks, in the order the message
// checks them when it is read, then the request's own CSeq rule; or nothing. The message logs
// nothing when it refuses itself that way, so this line is the only reason the reader gets.
std::string brokenHeaderRule(const KvSipMessage& message) {
    auto count = [&message](KvSipHeaderId id) {
        int n = 0;
        for (KvHandle<KvSipHeader> header = message.getHeader(id); !header.isNull();
             header = header->getNext())
            ++n;
        return n;
    };
    const auto* request = dynamic_cast<const KvSipRequest*>(&message);
    KvHandle<KvSipCSeqHeader> cseq = message.getCSeqHeader();
    auto cseqMismatch = [&] {
        return std::string("CSeq method ") + cseq->getMethod() +
               " does not match the request method " + request->getMethod().c_str();
    };
    if (count(KV_HEADER_VIA) == 0)
        return "no Via header";
    static const std::pair<KvSipHeaderId, const char*> kSingle[] = {
        {KV_HEADER_FROM, "From"},
        {KV_HEADER_TO, "To"},
        {KV_HEADER_CSEQ, "CSeq"},
        {KV_HEADER_CONTENT_LENGTH, "Content-Length"},
        {KV_HEADER_CALL_ID, "Call-ID"}};
    for (const auto& [id, name] : kSingle) {
        int n = count(id);
        if (n == 0)
            return std::string("no ") + name + " header";
        // A request's CSeq method is checked, ignoring letter case, before the count of CSeq
        // headers and the headers after it.
        if (id == KV_HEADER_CSEQ && request && !cseq.isNull() &&
            !request->getMethod().equalsIgnoreCase(cseq->getMethod()))
            return cseqMismatch();
        if (n > 1)
            return std::to_string(n) + ' ' + name + " headers";
    }
    // Then exactly as the request checks it: a method that differs in letter case alone passes
    // the header check but leaves the request not valid.
    if (request && !cseq.isNull() && std::strcmp(cseq->getMethod(), request->getMethod().c_str()))
        return cseqMismatch();
    return std::string();
}

// A message read without damage may still not be valid: it is not called so then.
const char* stateText(int32_t state, bool valid) {
    switch (state) {
    case KV_VALID:
        return valid ? "valid" : "no damage found";
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
        for (const KvMediaFormat& format : stream->getFormats()) {
            std::cout << ' ' << format.getPayloadType();
            if (const char* name = format.getEncodingName())
                std::cout << '/' << name;
        }
        std::cout << '\n';
    }
}

// True when the message is valid.
bool dumpMessage(const std::string& bytes) {
    KvHandle<KvByteArray> array =
        KvByteArray::sCreate(static_cast<uint32_t>(bytes.size()), bytes.data());
    KvByteArrayInputStream input(array);
    KvHandle<KvSipMessage> message;
    const uint64_t linesBefore = gErrorLines ? gErrorLines->lineCount() : 0;
    try {
        message = KvSipMessage::sConstructFrom(input);
    } catch (KvHandle<KvException>& e) {
        std::cout << "not a SIP message: " << e->getText() << '\n';
        reportLine(std::string("not a SIP message: ") + e->getText());
        return false;
    }
    const bool parserSaidNothing = !gErrorLines || gErrorLines->lineCount() == linesBefore;
    const bool valid = message->isValid();
    // Only when the header check is what refused the message: a damaged one may lack a header
    // because the parser dropped it, and the parser has said what was wrong.
    const int32_t state = message->getParseState();
    std::string broken;
    if (!valid && parserSaidNothing && (state == KV_VALID || state == KV_INVALID))
        printStep("verdict", [&] { broken = brokenHeaderRule(*message); });
    std::cout << "parse state: " << state << " (" << stateText(state, valid) << ")\n";
    std::cout << "verdict: " << (valid ? "valid" : "not valid") << (broken.empty() ? "" : ": ")
              << broken << '\n';

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
    if (!broken.empty())
        reportLine(broken);
    return valid;
}

// The whole file, read through the stack's file stream (which throws a KvSystemError).
std::string readFile(const char* path) {
    KvFileInputStream file(path);
    std::string bytes;
    char buffer[65536];
    for (int32_t got; (got = file.read(buffer, sizeof buffer, 0)) > 0;)
        bytes.append(buffer, static_cast<size_t>(got));
    return bytes;
}

ExitStatus dumpFile(const char* path) {
    std::string bytes;
    try {
        bytes = readFile(path);
    } catch (KvHandle<KvException>& e) {
        // The system's reason alone ("Is a directory"): the stream's text names the call.
        std::cerr << "sipdump: cannot read " << path << ": ";
        if (auto* system = dynamic_cast<KvSystemError*>(e.get()))
            std::cerr << std::strerror(static_cast<int>(system->getErrorCode())) << '\n';
        else
            std::cerr << e->getText() << '\n';
        return kFailed;
    }
    std::cout << "=== " << path << " (" << bytes.size() << " bytes)\n";
    setSource(path);
    return dumpMessage(bytes) ? kAllValid : kNotValid;
}

// The exception as its print() ends: the text, and for a system error the system's reason.
std::string describe(const KvHandle<KvException>& e) {
    KvByteArrayOutputStream out;
    e->print(out);
    KvHandle<KvByteArray> bytes = out.toByteArray();
    std::string text = toText(bytes);
    return text.substr(text.rfind('\n') + 1);
}

// 127.0.0.1 itself: KvInetAddress("127.0.0.1") stands for the machine's own address.
KvInetAddress loopback() {
    return KvInetAddress::sFromAddress(kvInetAddr("127.0.0.1"));
}

// The port the socket is bound to: for port 0, the one the system chose.
uint32_t boundPort(const KvSocketImpl& socket, uint32_t port) {
    uint32_t address = 0;
    uint16_t bound = 0;
    return kvSocketGetName(socket.getHandle(), &address, &bound) == 0 ? bound : port;
}

// Receives datagrams on the port one after the other, on this thread, and dumps each; count 0
// means no end.
ExitStatus listenUdp(uint32_t port, uint64_t count) {
    const uint32_t size = 65536;
    KvHandle<KvDatagramSocket> socket(new KvDatagramSocket(port, loopback(), false, size));
    std::cout << "listening on UDP port " << boundPort(*socket, port) << std::endl;
    ExitStatus status = kAllValid;
    for (uint64_t n = 0; count == 0 || n < count;) {
        KvDatagramPacket packet(KvByteArray::sCreate(size), 0, size, KvInetAddress(), 0);
        socket->receive(packet);
        if (packet.getLength() == KvDatagramPacket::kFailedLength)
            continue; // oversized or failed: logged by the socket
        std::string peer = std::string(packet.getAddress().getHostAddress()) + ':' +
                           std::to_string(packet.getPort());
        std::cout << "=== UDP from " << peer << " (" << packet.getLength() << " bytes)\n";
        setSource("UDP from " + peer);
        if (!dumpMessage(std::string(packet.getData()->getData(), packet.getLength())))
            status = kNotValid;
        std::cout << std::flush;
        ++n;
    }
    return status;
}

// Accepts connections one after the other, on this thread, and dumps every message that the
// SIP-over-TCP framing cuts out of them: the next connection waits until the peer before it closes
// its own. Count 0 means no end.
ExitStatus listenTcp(uint32_t port, uint64_t count) {
    KvHandle<KvServerSocket> server(new KvServerSocket(port, loopback()));
    std::cout << "listening on TCP port " << boundPort(*server, port) << std::endl;
    ExitStatus status = kAllValid;
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
            std::string source =
                std::string("TCP from ") + peer.getHostAddress() + ':' + std::to_string(peerPort);
            std::cout << "=== " << source << " (" << packet->getLength() << " bytes)\n";
            setSource(source);
            if (!dumpMessage(std::string(packet->getData()->getData() + packet->getOffset(),
                                         packet->getLength())))
                status = kNotValid;
            std::cout << std::flush;
            ++n;
        }
        if (const char* error = stream->getFramingError())
            std::cout << "connection closed: " << error << '\n';
        client->close();
    }
    return status;
}

bool parseNumber(const char* text, uint64_t& value) {
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *text >= '0' && *text <= '9' && end && *end == '\0';
}

int usage(std::ostream& out, int code) {
    out << "usage: sipdump [--] FILE...\n"
           "       sipdump --listen udp|tcp PORT [--count N]\n"
           "Parses each FILE as one SIP message, or listens on PORT of 127.0.0.1 (0: one the\n"
           "system picks, which it prints) and parses what arrives, N messages or without\n"
           "end, one TCP connection at a time; prints what the stack made of each message.\n"
           "After --, every argument is a FILE, even one that starts with -.\n"
           "Exit status: 0 when every message read is valid, 1 when one is not, 2 for a\n"
           "usage, file or socket error.\n";
    return code;
}

int usage() {
    return usage(std::cerr, kFailed);
}

int listenMode(int argc, char** argv) {
    uint64_t port = 0;
    uint64_t count = 0;
    bool udp = argc >= 3 && std::strcmp(argv[2], "udp") == 0;
    bool tcp = argc >= 3 && std::strcmp(argv[2], "tcp") == 0;
    if ((argc != 4 && argc != 6) || !(udp || tcp) || !parseNumber(argv[3], port) || port > 65535 ||
        (argc == 6 && (std::strcmp(argv[4], "--count") != 0 || !parseNumber(argv[5], count))))
        return usage();
    try {
        return udp ? listenUdp(static_cast<uint32_t>(port), count)
                   : listenTcp(static_cast<uint32_t>(port), count);
    } catch (KvHandle<KvException>& e) {
        std::cerr << "sipdump: " << (udp ? "UDP" : "TCP") << " port " << port
                  << " of 127.0.0.1: " << describe(e) << '\n';
        return kFailed;
    }
}

int run(int argc, char** argv) {
    if (argc < 2)
        return usage();
    // The parser's reasons for a damaged message go to the standard error output.
    KvHandle<SourceLines> lines(new SourceLines);
    KvHandle<KvErrorStream> errors(new KvErrorStream(lines));
    errors->addCategory("KvException");
    KvErrorStream::setInstance(errors);
    gErrorLines = lines.get();
    if (std::strcmp(argv[1], "--listen") == 0)
        return listenMode(argc, argv);

    // Options first, so that no file is read before a usage error. Behind "--" every argument is a
    // file, whatever it starts with.
    std::vector<const char*> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (optionsEnded) {
            files.push_back(argv[i]);
        } else if (std::strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return usage(std::cout, kAllValid);
        } else if (argv[i][0] == '-') {
            std::cerr << "sipdump: unknown option " << argv[i] << '\n';
            return usage();
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty())
        return usage();

    int status = kAllValid;
    for (const char* file : files) {
        status = std::max(status, static_cast<int>(dumpFile(file)));
        std::cout << std::flush;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // Whatever escapes the steps above ends the run with a line, never with an abort.
    try {
        return run(argc, argv);
    } catch (KvHandle<KvException>& e) {
        std::cerr << "sipdump: stack exception: " << describe(e) << '\n';
    } catch (std::exception& e) {
        std::cerr << "sipdump: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "sipdump: unknown exception\n";
    }
    return kFailed;
}
