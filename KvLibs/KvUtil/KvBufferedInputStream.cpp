#include "KvBufferedInputStream.h"

#include "KvClientSocket.h"
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvSocketInputStream.h"

#include <cstring>
#include <strings.h>

namespace {

constexpr uint32_t kMinimumRead = 8192;
constexpr uint32_t kMaximumGrowth = 49152;
// Compaction moves the unread bytes to the front only when that frees at least this much.
constexpr uint32_t kCompactionThreshold = 8193;

const char kNotANumber[] = "Content-Length is not a number";
const char kLengthTooLarge[] = "Content-Length above the limit";
const char kHeaderTooLong[] = "no end of header within the limit";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

KvSocketInputStream* asSocketStream(const KvHandle<KvInputStream>& stream) {
    return dynamic_cast<KvSocketInputStream*>(stream.get());
}

} // namespace

KvBufferedInputStream::KvBufferedInputStream(KvHandle<KvInputStream> source, uint32_t size)
    : m_position(0), m_count(0), m_markPosition(0), m_markLimit(0), m_stream(source),
      m_headerEnd(0), m_contentLength(0), m_lengthFound(false), m_scanning(false),
      m_messageStart(0), m_scanPosition(0), m_startLineDone(false), m_valueFolded(false),
      m_framingError(nullptr), m_ended(false) {
    if (size != 0)
        m_buffer = KvByteArray::sCreate(size);
}

KvBufferedInputStream::~KvBufferedInputStream() = default;

int32_t KvBufferedInputStream::fill(uint32_t wanted) {
    if (m_ended || m_stream.isNull())
        return -1;
    if (m_position != 0) {
        if (m_markLimit != 0 && m_markLimit < m_position - m_markPosition)
            m_markLimit = 0;
        uint32_t shift = m_markLimit != 0 ? m_markPosition : m_position;
        if (shift != 0 && (shift == m_count || shift >= kCompactionThreshold)) {
            uint32_t rest = m_count - shift;
            if (m_buffer->getRefCount() >= 2) {
                // Never move bytes under another holder of the buffer: move them into a copy.
                KvHandle<KvByteArray> copy = KvByteArray::sCreate(m_buffer->size());
                std::memcpy(copy->getData(), m_buffer->getData() + shift, rest);
                m_buffer = copy;
            } else if (rest != 0) {
                std::memmove(m_buffer->getData(), m_buffer->getData() + shift, rest);
            }
            m_count -= shift;
            m_position -= shift;
            m_markPosition = m_markLimit != 0 ? m_markPosition - shift : 0;
            if (m_scanning && m_messageStart >= shift) {
                m_messageStart -= shift;
                m_scanPosition -= shift;
                if (m_headerEnd != 0)
                    m_headerEnd -= shift;
            } else {
                resetFraming();
            }
        }
    }
    if (wanted < kMinimumRead)
        wanted = kMinimumRead;
    uint32_t size = m_buffer.isNull() ? 0 : m_buffer->size();
    uint32_t room = (size == 0 || m_buffer->getRefCount() >= 2) ? 0 : size - m_count;
    if (room < wanted) {
        uint32_t growth = size == 0 ? kMinimumRead : size / 16;
        if (growth > kMaximumGrowth)
            growth = kMaximumGrowth;
        if (growth < wanted)
            growth = wanted;
        if (uint64_t(size) + growth > 0x7FFFFFFFu)
            KvException::sThrow("KvBufferedInputStream::fill - buffer too large");
        KvHandle<KvByteArray> grown = KvByteArray::sCreate(size + growth);
        if (m_count != 0)
            std::memcpy(grown->getData(), m_buffer->getData(), m_count);
        m_buffer = grown;
    }
    int32_t count = m_stream->read(m_buffer->getData(), static_cast<int32_t>(wanted),
                                   static_cast<int32_t>(m_count));
    if (count < 0)
        return -1;
    m_count += static_cast<uint32_t>(count);
    return count;
}

int KvBufferedInputStream::read() {
    if (m_position >= m_count) {
        if (fill(0) < 0 || m_position >= m_count)
            return -1;
    }
    return static_cast<uint8_t>(m_buffer->getData()[m_position++]);
}

int32_t KvBufferedInputStream::read(void* buffer, int32_t length, int32_t offset) {
    if (length <= 0)
        return 0;
    uint32_t buffered = m_count - m_position;
    if (buffered == 0) {
        int32_t count = fill(static_cast<uint32_t>(length));
        if (count < 0)
            return -1;
        buffered = m_count - m_position;
        if (buffered == 0)
            return 0;
    } else if (buffered < static_cast<uint32_t>(length) && !m_ended && !m_stream.isNull() &&
               m_stream->available() > 0) {
        // Tops up only with what is there already: bytes in hand are never held back waiting.
        fill(static_cast<uint32_t>(length) - buffered);
        buffered = m_count - m_position;
    }
    uint32_t n =
        buffered < static_cast<uint32_t>(length) ? buffered : static_cast<uint32_t>(length);
    std::memcpy(static_cast<char*>(buffer) + offset, m_buffer->getData() + m_position, n);
    m_position += n;
    return static_cast<int32_t>(n);
}

int64_t KvBufferedInputStream::skip(int64_t count) {
    if (count <= 0)
        return 0;
    uint32_t buffered = m_count - m_position;
    uint32_t skipped = count < buffered ? static_cast<uint32_t>(count) : buffered;
    m_position += skipped;
    int64_t rest = count - skipped;
    if (rest == 0 || m_ended || m_stream.isNull())
        return skipped;
    return skipped + m_stream->skip(rest);
}

void KvBufferedInputStream::mark(int32_t readLimit) {
    m_markPosition = m_position;
    m_markLimit = static_cast<uint32_t>(readLimit); // -1 is no limit
}

void KvBufferedInputStream::reset() {
    if (m_markLimit == 0)
        KvException::sThrow("mark limit exceeded");
    m_position = m_markPosition;
    m_markLimit = 0;
}

void KvBufferedInputStream::update(KvHandle<KvObject>, KvHandle<KvObject>) {
    if (!m_ended && !m_stream.isNull() && m_stream->available() > 0)
        fill(0);
    notifyObserver(KvHandle<KvObject>());
}

bool KvBufferedInputStream::block() {
    if (!m_ended && fill(0) > 0) {
        while (hasCompleteMessage())
            notifyObserver(KvHandle<KvObject>(readMessagePacket()));
        if (!m_framingError)
            return true;
        closeConnection();
    }
    notifyObserver(KvHandle<KvObject>());
    // Nothing more will come: let go of the observer, which holds this stream in turn.
    detachObserver(getObserver().get());
    return false;
}

void KvBufferedInputStream::resetFraming() {
    m_scanning = false;
    m_headerEnd = 0;
    m_contentLength = 0;
    m_lengthFound = false;
    m_startLineDone = false;
    m_valueFolded = false;
}

bool KvBufferedInputStream::parseContentLength(const char* text, uint32_t length) {
    uint64_t value = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            m_framingError = kNotANumber;
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
        if (value > kMaxContentLength) {
            m_framingError = kLengthTooLarge;
            return false;
        }
    }
    m_contentLength = static_cast<uint32_t>(value);
    return true;
}

bool KvBufferedInputStream::scanHeader() {
    const char* data = m_buffer->getData();
    if (!m_scanning || m_messageStart != m_position) {
        resetFraming();
        // CR LF keep-alives between messages are not messages.
        while (m_position < m_count && (data[m_position] == '\r' || data[m_position] == '\n'))
            ++m_position;
        if (m_position == m_count)
            return false;
        m_scanning = true;
        m_messageStart = m_position;
        m_scanPosition = m_position;
    }
    if (m_headerEnd != 0)
        return true;
    for (;;) {
        uint32_t lineStart = m_scanPosition;
        const void* found = std::memchr(data + lineStart, '\n', m_count - lineStart);
        uint32_t scanned =
            found ? static_cast<uint32_t>(static_cast<const char*>(found) - data) + 1 : m_count;
        if (scanned - m_messageStart > kMaxHeaderLength) {
            m_framingError = kHeaderTooLong;
            return false;
        }
        if (!found)
            return false;
        uint32_t lineEnd = scanned - 1; // the LF
        uint32_t textEnd = lineEnd;
        if (textEnd > lineStart && data[textEnd - 1] == '\r')
            --textEnd;
        m_scanPosition = scanned;
        const char* line = data + lineStart;
        uint32_t length = textEnd - lineStart;
        if (length == 0) {
            if (m_valueFolded) {
                m_framingError = kNotANumber;
                return false;
            }
            m_headerEnd = scanned;
            return true;
        }
        if (!m_startLineDone) {
            m_startLineDone = true;
            continue;
        }
        // Trim the line's white space; a continuation line starts with some.
        bool continuation = isBlank(line[0]);
        uint32_t first = 0;
        while (first < length && isBlank(line[first]))
            ++first;
        while (length > first && isBlank(line[length - 1]))
            --length;
        if (continuation) {
            if (m_valueFolded && first < length) {
                m_valueFolded = false;
                if (!parseContentLength(line + first, length - first))
                    return false;
            }
            continue;
        }
        if (m_valueFolded) {
            m_framingError = kNotANumber;
            return false;
        }
        if (m_lengthFound)
            continue; // the first Content-Length counts
        const char* colon = static_cast<const char*>(std::memchr(line, ':', length));
        if (!colon)
            continue;
        uint32_t nameLength = static_cast<uint32_t>(colon - line);
        while (nameLength > 0 && isBlank(line[nameLength - 1]))
            --nameLength;
        // Header names are case-insensitive, the compact "L" included: a length left unread
        // would cut the body off and run it into the next message.
        bool isLength = (nameLength == 14 && strncasecmp(line, "Content-Length", 14) == 0) ||
                        (nameLength == 1 && (line[0] == 'l' || line[0] == 'L'));
        if (!isLength)
            continue;
        m_lengthFound = true;
        uint32_t value = static_cast<uint32_t>(colon - line) + 1;
        while (value < length && isBlank(line[value]))
            ++value;
        if (value == length)
            m_valueFolded = true; // the value may follow on a continuation line
        else if (!parseContentLength(line + value, length - value))
            return false;
    }
}

bool KvBufferedInputStream::hasCompleteMessage() {
    if (m_framingError || m_buffer.isNull() || !scanHeader())
        return false;
    uint32_t body = m_lengthFound ? m_contentLength : 0;
    return m_count - m_headerEnd >= body;
}

KvHandle<KvDatagramPacket> KvBufferedInputStream::readMessagePacket() {
    uint32_t buffered = m_count - m_position;
    uint32_t length = buffered;
    if (m_scanning && m_headerEnd != 0 && m_messageStart == m_position) {
        uint64_t message =
            uint64_t(m_headerEnd - m_position) + (m_lengthFound ? m_contentLength : 0);
        if (message < length)
            length = static_cast<uint32_t>(message);
    }
    KvHandle<KvByteArray> bytes =
        KvByteArray::sCreate(length, length ? m_buffer->getData() + m_position : nullptr);

    if (KvErrorLine line(7); line.isOn()) {
        line.stream() << "\n Begin #################################\n";
        bytes->print(line.stream());
        line.stream() << " ################################# end\n";
    }

    KvInetAddress address;
    uint32_t port = 0;
    if (KvSocketInputStream* socketStream = asSocketStream(m_stream)) {
        if (KvClientSocket* socket = socketStream->getSocket()) {
            address = socket->getPeerAddress();
            port = socket->getPeerPort();
        }
    }
    KvHandle<KvDatagramPacket> packet(new KvDatagramPacket(bytes, 0, length, address, port));
    resetFraming();
    m_position += length;
    return packet;
}

void KvBufferedInputStream::closeConnection() {
    KvClientSocket* socket = nullptr;
    if (KvSocketInputStream* socketStream = asSocketStream(m_stream))
        socket = socketStream->getSocket();
    {
        KvErrorLine line("KvSocket", 0);
        KvOutputStream& log = line.stream();
        log << "KvBufferedInputStream::block(): closing the connection";
        if (socket) {
            KvInetAddress peer = socket->getPeerAddress();
            uint32_t port = socket->getPeerPort();
            log << " with " << peer.getHostAddress() << ":" << port;
        }
        log << ": " << m_framingError << endl;
    }
    if (socket)
        socket->close();
    m_ended = true;
    m_buffer.release();
    m_position = 0;
    m_count = 0;
    m_markPosition = 0;
    m_markLimit = 0;
    resetFraming();
}
