// A buffered input stream that also frames SIP over TCP: block() reads what the connection has,
// cuts whole messages out of the buffer by their Content-Length header and hands each to the
// observer as a KvDatagramPacket carrying the connection's peer, so that TCP messages travel up
// the stack like datagrams.
//
// Framing bounds: a message's header block (from its first byte to the end of its blank line) may
// hold at most kMaxHeaderLength bytes and its Content-Length may be at most kMaxContentLength.
// A stream that breaks them (or whose Content-Length is not a plain decimal number) is not SIP:
// its connection is closed with a logged reason and the observer gets a null notification, so
// the buffer never grows past about the sum of the two bounds.
#pragma once

#include "KvByteArray.h"
#include "KvDatagramPacket.h"
#include "KvInputStream.h"

#include <cstdint>

class KvBufferedInputStream : public KvInputStream {
public:
    static constexpr uint32_t kMaxHeaderLength = 64 * 1024;
    static constexpr uint32_t kMaxContentLength = 1024 * 1024;

    // A size of 0 makes no buffer until the first fill.
    explicit KvBufferedInputStream(KvHandle<KvInputStream> source, uint32_t size = 0);
    ~KvBufferedInputStream() override;

    // When the source has bytes available, reads them once; then notifies the observer (null).
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    // Reads once and delivers every complete message; false (after a null notification) when the
    // connection has ended or was closed for broken framing. At the end the observer is detached.
    bool block() override;
    using KvInputStream::read;
    int32_t read(void* buffer, int32_t length, int32_t offset) override;
    int read() override;
    int64_t skip(int64_t count) override;
    // The buffered bytes only.
    int32_t available() override { return static_cast<int32_t>(m_count - m_position); }
    bool markSupported() override { return true; }
    void mark(int32_t readLimit) override;
    // Throws "mark limit exceeded" without a mark.
    void reset() override;

    // Makes room for at least `wanted` bytes (8192 at least) and reads up to that many from the
    // source in one read: the count read, or -1 at the end.
    int32_t fill(uint32_t wanted);
    // Whether the buffer holds a whole message from the read position on. CR LF keep-alives
    // before a message are skipped.
    bool hasCompleteMessage();
    // Takes the message found by hasCompleteMessage out of the buffer.
    KvHandle<KvDatagramPacket> readMessagePacket();

    const KvHandle<KvInputStream>& getSource() const { return m_stream; }
    // Why the framing gave up on the stream, or null.
    const char* getFramingError() const { return m_framingError; }

private:
    // Frames the header lines not scanned yet; false when more bytes are needed or on an error.
    bool scanHeader();
    bool parseContentLength(const char* text, uint32_t length);
    void resetFraming();
    void closeConnection();

    KvHandle<KvByteArray> m_buffer;
    uint32_t m_position;
    uint32_t m_count;
    uint32_t m_markPosition;
    uint32_t m_markLimit; // 0 when no mark is set
    KvHandle<KvInputStream> m_stream;
    uint32_t m_headerEnd; // just past the blank line of the current message; 0 until found
    uint32_t m_contentLength;
    bool m_lengthFound;

    // Where the framing of the current message stands, so that a message that arrives in pieces
    // is scanned once, not again from its start on every read.
    bool m_scanning; // a message has been started at m_messageStart
    uint32_t m_messageStart;
    uint32_t m_scanPosition; // start of the first header line not scanned yet
    bool m_startLineDone;
    bool m_valueFolded; // a Content-Length header whose value is on a continuation line
    const char* m_framingError;
    bool m_ended;
};
