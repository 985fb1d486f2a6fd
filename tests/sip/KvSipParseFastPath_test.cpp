// The parsers read streams over bytes in memory straight from the bytes; every other stream byte
// by byte. Both ways must give the same message, the same text written back and leave the stream
// at the same place. Also the gathered writing of a message, and the shared tokens.
#include "KvByteArrayOutputStream.h"
#include "KvException.h"
#include "KvParameters.h"
#include "KvSipAllowHeader.h"
#include "KvSipDigestCredentialsInfo.h"
#include "KvSipHeaders.h"
#include "KvSipInviteMessage.h"
#include "KvSipMessage.h"
#include "KvSipURL.h"
#include "support/KvCorpus.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Outcome {
    std::string error;     // the exception of the parse or of the writing, if any
    int32_t state = -1;    // the parse state
    std::string written;   // the message written back
    std::string rest;      // what the parse left in the stream
    std::string afterMark; // what a reset to the stream's mark would read
};

// Runs the reading, then notes where it left the stream and where a reset takes it.
template <class F> Outcome outcomeOf(KvInputStream& stream, F&& read) {
    Outcome outcome;
    try {
        read(outcome);
    } catch (KvHandle<KvException>& e) {
        outcome.error = e->getText();
    }
    outcome.rest = kvRestOf(stream);
    stream.reset();
    outcome.afterMark = kvRestOf(stream);
    return outcome;
}

Outcome parse(KvInputStream& stream) {
    return outcomeOf(stream, [&](Outcome& outcome) {
        KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(stream);
        outcome.state = message->getParseState();
        outcome.written = kvSerialized(message);
    });
}

void expectSameBothWays(const std::string& text, const std::string& name) {
    KvPlainStream plain(text);
    auto fast = kvStreamOf(text);
    const Outcome expected = parse(plain);
    const Outcome got = parse(*fast);
    EXPECT_EQ(got.error, expected.error) << name;
    EXPECT_EQ(got.state, expected.state) << name;
    EXPECT_EQ(got.written, expected.written) << name;
    EXPECT_EQ(got.rest, expected.rest) << name;
    EXPECT_EQ(got.afterMark, expected.afterMark) << name;
}

const char kHead[] = "INVITE sip:bob@biloxi.example.com SIP/2.0\r\n"
                     "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK776asdhds\r\n"
                     "To: Bob <sip:bob@biloxi.example.com>\r\n"
                     "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
                     "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n"
                     "CSeq: 314159 INVITE\r\n";

} // namespace

TEST(KvSipParseFastPath, CorpusMessagesParseAlikeBothWays) {
    KV_REQUIRE_CORPUS();
    const auto files = kvCorpusMessages({"rfc4475", "bench"});
    ASSERT_GT(files.size(), 40u);
    for (const auto& [file, text] : files) {
        expectSameBothWays(text, file);
        // Cut short anywhere, a message still parses the same both ways.
        for (size_t cut : {size_t(1), size_t(7), text.size() / 3, text.size() / 2, text.size() - 1})
            if (cut < text.size())
                expectSameBothWays(text.substr(0, cut), file + " cut at " + std::to_string(cut));
    }
}

TEST(KvSipParseFastPath, EdgesOfTheFastScannersParseAlike) {
    const std::string head = kHead;
    const std::vector<std::string> messages = {
        // Known methods as prefixes, other cases and with blanks: only a whole token is shared.
        head + "Allow: INVITEX, invite, ACK,BYE ,  CANCEL\t, INFO;x, PRACK\r\nContent-Length: "
               "0\r\n\r\n",
        head + "Allow:\r\nAllow: ,\r\nContent-Length: 0\r\n\r\n",
        head + "Allow: INVITE",
        // Quoted Digest values with commas, equals signs, blanks and a line end inside.
        head + "Authorization: Digest username=\"a,b=c d\", realm=\"r\", nonce=\"n\r\n x\", "
               "uri=\"sip:x\", response=\"0123456789abcdef0123456789abcdef\", opaque=\"\"\r\n"
               "Content-Length: 0\r\n\r\n",
        head + "Authorization: Digest username=\"open quote\r\nContent-Length: 0\r\n\r\n",
        // Folded lines, a compact name, a header without a colon, a long value.
        head +
            "Subject: one\r\n two\r\n\tthree\r\nv: SIP/2.0/TCP h;branch=z9hG4bKx\r\n"
            "NoColon\r\nX-Long: " +
            std::string(1500, 'x') + "\r\nl: 0\r\n\r\n",
        // Via parameters with a quoted comma and escape, a second Via, and one too long to keep.
        head +
            "Via: SIP/2.0/UDP h;x=\"a,b\\\"c\";branch=z9hG4bK1 , SIP/2.0/TCP g;y\r\nl: 0\r\n\r\n",
        head + "Via: SIP/2.0/UDP h;p=" + std::string(1100, 'v') + "\r\nl: 0\r\n\r\n",
        // The look-ahead for a user: "@" in quotes, behind ";" or "?", bracketed or bare.
        head + "Contact: \"x@y\" <sip:u;p@h>, sip:a;b@c, <sip:d?e@f>, sip:g?h@i\r\nl: 0\r\n\r\n",
        // URLs with parameters, headers, escapes, an IPv6 host and a quoted display name.
        "INVITE sip:user:pw@[2001:db8::1]:5070;transport=tcp;lr?Subject=a%20b&Priority=urgent "
        "SIP/2.0\r\nTo: \"A \\\"quoted\\\" name\" <sip:a@b.example.com;maddr=1.2.3.4>;tag=x\r\n"
        "From: sip:c@d.example.com;tag=y\r\nContact: <sip:e@f>;expires=60, <sip:g@h>;q=0.5\r\n"
        "Call-ID: 1@h\r\nCSeq: 1 INVITE\r\nVia: SIP/2.0/UDP h\r\nContent-Length: 0\r\n\r\n",
        // Bytes above 127 and NUL bytes in tokens and values.
        "BYE sip:a@b SIP/2.0\r\nX-Bin: \xff\x80\xc3\xa9\r\nCall-ID: \xe2\x82\xac\x01id@h\r\n"
        "CSeq: 2 B\xc3\xff"
        "E\r\nVia: SIP/2.0/UDP h\xe9st;branch=z9\xff"
        "hG4bK\r\nl: 0\r\n\r\n",
        // Bare LF line ends, and a line end right behind the scheme of a credentials line.
        "REGISTER sip:r SIP/2.0\nVia: SIP/2.0/UDP h;branch=z9hG4bKq\nCall-ID: q@h\nCSeq: 1 "
        "REGISTER\n"
        "From: <sip:a@r>;tag=1\nTo: <sip:a@r>\nAuthorization: Digest\r\nl: 0\n\n",
        "REGISTER sip:r SIP/2.0\r\nAuthorization: Digest realm=\"r\"\n, nonce=\"n\"\r\nl: "
        "0\r\n\r\n",
        std::string("BYE sip:a@b SIP/2.0\r\nCall-ID: a\0b@h\r\nContent-Length: 0\r\n\r\n", 56),
        // Responses, with and without reason phrase, and a body behind.
        "SIP/2.0 180 Ringing\r\nVia: SIP/2.0/UDP h;branch=z9hG4bKa;received=1.2.3.4\r\nTo: "
        "<sip:a@b>"
        ";tag=1\r\nFrom: <sip:c@d>;tag=2\r\nCall-ID: x\r\nCSeq: 1 INVITE\r\nl: 4\r\n\r\nbodyREST",
        "SIP/2.0 200\r\nl: 0\r\n\r\n",
        // Status lines read from memory: shared and other phrases, blanks, bare and broken line
        // ends, codes out of range or missing, a NUL in the phrase.
        "SIP/2.0 200 OK\nl: 0\n\n",
        "SIP/2.0\t200 \t OKAY \r\nl: 0\r\n\r\n",
        "SIP/2.0 100 Trying\rX\r\nl: 0\r\n\r\n",
        "SIP/2.0 99 Low\r\nl: 0\r\n\r\n",
        "SIP/2.0 700 High\r\nl: 0\r\n\r\n",
        "SIP/2.0 099 Low\r\nl: 0\r\n\r\n",
        "SIP/2.0 2147483648 Wrapped\r\nl: 0\r\n\r\n",
        "SIP/2.0 1.0 x\r\nl: 0\r\n\r\n",
        "SIP/2 200 OK\r\nl: 0\r\n\r\n",
        "SIP/2.0 200",
        std::string("SIP/2.0 180 Ring\0ing\r\nl: 0\r\n\r\n", 30),
        // Request URIs that keep their parameters, with and without a user behind them.
        "OPTIONS sip:h;a=b@c;d SIP/2.0\r\nl: 0\r\n\r\n",
        "OPTIONS sip:h:5;x=\"@\" SIP/2.0\r\nl: 0\r\n\r\n",
        "OPTIONS <sip:u:p@[::1]:5;lr> SIP/2.0\r\nl: 0\r\n\r\n",
        // Delimiters in a password, tabs inside and around a URL, other schemes in angles.
        "INVITE sip:alice:pa,ss@example.com SIP/2.0\r\nl: 0\r\n\r\n",
        "INVITE sip:alice:p?a;s@example.com;lr SIP/2.0\r\nl: 0\r\n\r\n",
        "INVITE <sip:al\tice:pw@ex\tample.com\t> SIP/2.0\r\nl: 0\r\n\r\n",
        "INVITE \tsip:bob@host\t SIP/2.0\r\nl: 0\r\n\r\n",
        "OPTIONS <urn:service:sos> SIP/2.0\r\nl: 0\r\n\r\n",
        "INVITE  \t<http://x/> SIP/2.0\r\nl: 0\r\n\r\n",
        "OPTIONS <1urn:x> SIP/2.0\r\nl: 0\r\n\r\n",
    };
    for (size_t i = 0; i < messages.size(); ++i)
        expectSameBothWays(messages[i], "message " + std::to_string(i));
}

namespace {

// A header value read by its class from both kinds of stream.
Outcome parseValue(const std::string& name, KvInputStream& stream) {
    KvHandle<KvSipHeader> header = KvSipHeader::createHeader(name.c_str());
    return outcomeOf(stream, [&](Outcome& outcome) {
        header->doParse(stream);
        KvStringOutputStream out;
        header->serializeChain(out);
        outcome.written = out.text;
    });
}

void expectValueSameBothWays(const std::string& name, const std::string& value) {
    KvPlainStream plain(value);
    auto fast = kvStreamOf(value);
    const Outcome expected = parseValue(name, plain);
    const Outcome got = parseValue(name, *fast);
    const std::string where = name + ":" + value;
    EXPECT_EQ(got.error, expected.error) << where;
    EXPECT_EQ(got.written, expected.written) << where;
    EXPECT_EQ(got.rest, expected.rest) << where;
    EXPECT_EQ(got.afterMark, expected.afterMark) << where;
}

} // namespace

TEST(KvSipParseFastPath, HeaderValuesParseAlikeBothWays) {
    KV_REQUIRE_CORPUS();
    // Every header line of the corpus, each read by its own class.
    size_t values = 0;
    for (const auto& [file, text] : kvCorpusMessages({"rfc4475", "bench"})) {
        size_t start = text.find('\n');
        while (start != std::string::npos && start + 1 < text.size()) {
            const size_t end = text.find('\n', start + 1);
            std::string line =
                text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start);
            start = end;
            const size_t colon = line.find(':');
            if (line.size() <= 2 || colon == std::string::npos || line[0] == ' ' || line[0] == '\t')
                continue;
            std::string name = line.substr(0, colon);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
                name.pop_back();
            // A binary body's bytes may look like a line; a name with a line end is refused.
            if (name.empty() || name.find('\r') != std::string::npos)
                continue;
            expectValueSameBothWays(name, line.substr(colon + 1));
            ++values;
        }
    }
    EXPECT_GT(values, 300u);
    // And values made to meet the edges of the scanners: high bytes, NUL, bare line ends,
    // quoted runs, known methods as prefixes.
    const std::vector<std::pair<std::string, std::string>> edges = {
        {"Call-ID", " \xe2\x82\xac\x01id@h\r\n"},
        {"Call-ID", std::string(" a\0b@h\r\n", 9)},
        {"CSeq", " 2 B\xc3\xff"
                 "E\r\n"},
        {"CSeq", " 2\tINVITE \r\n"},
        {"Via", " SIP/2.0/UDP h\xe9st;branch=z9\xff"
                "hG4bK\r\n"},
        {"Via", " SIP / 2.0 / TCP host:5060 ;received=1.2.3.4;rport\n"},
        {"Via", " SIP/2.0/UDP [2001:db8::9]:5070 (comment)\r\n"},
        {"Allow", " INVITEX\r\n"},
        {"Allow", " ACK\xff\r\n"},
        {"Allow", " ACK"},
        {"Allow", " ack\r\n"},
        {"Allow", " \r\n"},
        {"Authorization", " Digest username=\"a,b\", realm=\"r\r\nx\", nonce=n,uri=\"sip:u\"\r\n"},
        {"Authorization", " Digest username=\"unclosed\r\n"},
        {"Authorization", " Digest\n"},
        {"Proxy-Authorization", " Digest username=\"\", qop=auth, nc=00000001\r\n"},
        // Quoted-pairs, a backslash before the line end, a CR alone, challenges.
        {"Authorization", " Digest username=\"a\\\"b\\\\\", realm=\"r\\\r\n"},
        {"Authorization", " Digest realm=\"r\"\rx, nonce=n\r\n"},
        {"Authorization", " Digest\tusername=u\\\"v"},
        {"WWW-Authenticate", " Digest realm=\"a\\\"b\", qop=\"auth,auth-int\", stale=FALSE\r\n"},
        {"Proxy-Authenticate", " Basic realm=\"x\"\r\n"},
        {"WWW-Authenticate", " \r\n"},
        {"From", " \"Q \\\" r\" <sip:a@b;transport=tcp?X=1>;tag=t\r\n"},
        {"To", " sip:a@b;tag=x, sip:c@d\r\n"},
        {"Contact", " <sip:a@b>;q=0.1;expires=5 , \"x\" <sip:c@d>\r\n"},
        {"Contact", " *\r\n"},
        {"Route", " <sip:p1;lr>,<sip:p2;lr>\r\n"},
        {"Record-Route", " <sip:[::1]:5060;lr>\r\n"},
        {"Content-Type", " application/sdp ; charset=\"utf-8\"\r\n"},
        {"Expires", " 3600\r\n"},
        {"Max-Forwards", " 70 \r\n"},
        {"Max-Forwards", " 4294967295"},
        {"Max-Forwards", " 4294967296\r\n"},
        {"Content-Length", " \r\n"},
        {"Content-Length", "\t007x\r\n"},
        {"Supported", " timer, 100rel\r\n"},
        {"User-Agent", " Kv/1.0 (test)\r\n"},
        {"User-Agent", " A (x/y, \\) (z)) b / 2.0 (c\\\r\n"},
        {"User-Agent", " A (open/1,"},
        {"Allow", " \tSUBSCRIBE ,PUBLISHX, REGISTER"},
        // Runs of plain bytes up to, and past, the URL and parameter buffers; a text that ends
        // inside a run.
        {"To", " <sip:" + std::string(1010, 'u') + "@h>\r\n"},
        {"To", " <sip:" + std::string(1030, 'u') + "@h>\r\n"},
        {"Via", " SIP/2.0/UDP h;p=" + std::string(1015, 'v') + "\r\n"},
        {"Via", " SIP/2.0/UDP h;p=" + std::string(1030, 'v') + "\r\n"},
        {"Via", " SIP/2.0/UDP h;branch=z9hG4bK;x=\"q;r\"=s"},
        // Via around its bounds: NUL, a host and a port too long, ttl, parameter text at the
        // buffer's end, with and without an escape there, pairs without key or value.
        {"Via", std::string(" SIP/2.0/UDP h") + '\0' + "st;branch=b\r\n"},
        {"Via", std::string(" SIP/2") + '\0' + "x.0/UDP h\r\n"},
        {"Via", " SIP/2.0/UDP " + std::string(1030, 'h') + "\r\n"},
        {"Via", " SIP/2.0/UDP h:65536;branch=b\r\n"},
        {"Via", " SIP/2.0/UDP h:5060;ttl=256\r\n"},
        {"Via", " SIP/2.0/UDP h;ttl;ttl=-1\r\n"},
        {"Via", " SIP/2.0/UDP h (a comment  ) ;maddr=m \r\n"},
        {"Via", " SIP/2.0/UDP h;p=" + std::string(1018, 'v') + "\r\n"},
        {"Via", " SIP/2.0/UDP h;p=" + std::string(1019, 'v') + "\r\n"},
        {"Via", " SIP/2.0/UDP h;p=" + std::string(1020, 'v') + ",SIP/2.0/UDP g\r\n"},
        {"Via", " SIP/2.0/UDP h;p=\"" + std::string(1017, 'q') + "\\x\"\r\n"},
        {"Via", " SIP/2.0/UDP h;a= \r\n"},
        {"Via", " SIP/2.0/UDP h;  =x\r\n"},
        {"Via", " SIP/2.0/UDP h; ;a=1\r\n ;b,SIP/2.0/UDP g"},
        {"Content-Type", " " + std::string(80, 't') + "/" + std::string(70, 's') + ";a=b\r\n"},
        {"Content-Type", " text\r\n"},
        {"CSeq", " 1 " + std::string(100, 'M') + "\r\n"},
        {"Call-ID", " " + std::string(300, 'c') + "\r\n"},
        {"From", " sip:user@host.example.com"},
        // Where the search for a user is made only when needed: a "<" inside, a second "<", an
        // "@" in front of the scheme or in a parameter, IPv6 and port with and without a user.
        {"To", " <sip:a<b;c@d;e>\r\n"},
        {"To", " <<sip:a;b@c>\r\n"},
        {"To", " <s@ip:a;b@c>\r\n"},
        {"To", " <sip@:h;x;y>\r\n"},
        {"To", " <sip:h;p=x@y>;tag=1\r\n"},
        {"Contact", " sip:[::1]:5060;q=1, sip:u:p@[::2]:5070;x=@, <sip:u:p:q@h:1>\r\n"},
        {"Contact", " sip:h:1@x, sip:\"a;b\"@h;x, <sip:\"q@r\";s>\r\n"},
        {"From", " <sip:a@b;maddr=x\xff\x80y;ttl=1>;tag=\xc3\xa9"},
        {"To", " sip:a@b\t;tag=1\r\n"},
        {"Contact", " <sip:u:p,w@h>, sip:a\tb@c\t, <sip:u:p;q?r@h>;x, sip:d@e:1\t\r\n"},
        // One cursor reads address and parameters: behind URL headers, a tel or another URI it
        // goes on from the stream alone.
        {"From", " <sip:a@b?h=v&x=%41> \t;tag=t;x\r\n"},
        {"From", " sip:a@b?h=v;tag=t\r\n"},
        {"To", " \"n\" <tel:+1-555;phone-context=x> ;tag=7\r\n"},
        {"Contact", " <http://e.x/a;b>;q=0.5, <sip:c@d?s=1>;expires=3 ,sip:e@f;p\r\n"},
        {"Contact", " tel:+1;q=1, sip:e@f ;p=\"a,b\"\r\n"},
        // The scheme guessed from its first letters, in any case, behind blanks, or cut short.
        {"To", " <SiP:a@b>\r\n"},
        {"To", " < sip:a@b>\r\n"},
        {"To", " <sips:a@b>\r\n"},
        {"To", " <si"},
        {"To", " si"},
        // Via parameters read where they lie or as a trimmed text: blanks and pairs without a
        // value at either end, a CR alone, a NUL, the version passed over at once or not.
        {"Via", " SIP/2.0/UDP h;a=\t\r\n"},
        {"Via", " SIP/2.0/UDP h;\ta=1;b\r\n"},
        {"Via", " SIP/2.0/UDP h;a=1;b=\r\n"},
        {"Via", " SIP/2.0/UDP h;a=1\rb=2\r\n"},
        {"Via", std::string(" SIP/2.0/UDP h;a=1\0;b=2\r\n", 25)},
        {"Via", " SIP/2.0/UDP h;a=\"x y\" \r\n"},
        {"Via", " SIP/2.0/\r\n"},
        {"Via", " SIP/2.0/ tcp h\r\n"},
        {"Via", " SIP/2.0//UDP h\r\n"},
        {"Via", " SIP/2.0/udp h\r\n"},
        {"Via", " SIP/2.0/TRANSPORTX h\r\n"},
        {"Via", std::string(" SIP/2.0/UD\0P h\r\n", 17)},
        {"Via", " SIP/2.0/UDP"},
        {"Via", " SIP/2.0/SCTP\th:1\r\n"},
        // Option tags and subjects taken in place: shared tags and their prefixes, an empty tag,
        // one too long for the stack buffer, blanks around a subject.
        {"Supported", " timerx, 100re, , path\r\n"},
        {"Require", " " + std::string(100, 't') + "\r\n"},
        {"Supported", " \r\n"},
        {"Subject", " \t a, b \t\r\n"},
        {"Subject", " \r\n"},
        {"Subject", std::string(" a\0b ", 5)},
        // CSeq read in one pass: numbers at and past 32 bits, no blank or no method behind.
        {"CSeq", " 4294967295 INVITE\r\n"},
        {"CSeq", " 4294967296 INVITE\r\n"},
        {"CSeq", "7INVITE"},
        {"CSeq", " 7 \r\n"},
        {"CSeq", " x INVITE\r\n"},
        {"Allow", " INV, PRACKS, UPDATE"},
        {"User-Agent", " A / \r\n"},
        {"User-Agent", " A \t/\t1 (x), B\r\n"},
        {"User-Agent", " A /"},
        {"User-Agent", " \r\n"},
        // Media types read in one pass: blanks around "/", a part missing, parameters behind.
        {"Content-Type", " a / b\r\n"},
        {"Content-Type", " a/\r\n"},
        {"Content-Type", " a /;x\r\n"},
        {"Content-Type", " a/b;\r\n"},
        {"Content-Type", "\ta/b\t;x=1;y\r\n"},
        {"Content-Type", " a/b"},
        {"Accept", " a/b;q=0.5, c/d, e\r\n"},
        // Unknown headers keep their value to the line end, taken in place.
        {"X-Unknown", " \t a, b \r\n"},
        {"X-Unknown", " \t\r\n"},
        {"X-Unknown", "v\rw\r\n"},
        {"X-Unknown", std::string(" a\0b\r\n", 6)},
        {"X-Unknown", " tail"},
    };
    for (const auto& [name, value] : edges)
        expectValueSameBothWays(name, value);
}

TEST(KvSipParseFastPath, DigestItemsParseAlikeBothWays) {
    const std::vector<std::string> texts = {
        "username=\"bob\", realm=\"biloxi.com\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
        "uri=\"sip:biloxi.com\", response=\"9e2d1006810044fd79f39476209ae31a\", algorithm=MD5, "
        "cnonce=\"0a4f113b\", qop=auth, nc=00000001, opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"",
        "realm=\"a,b\\nc\", nonce=\"x\ny\", stale=FALSE\nignored=1",
        "realm=\"open, nonce=n",
        "a=\"" + std::string(2000, 'q') + "\"",
        "a=1,,b=\"\",c",
        "a=" + std::string(2000, 'u') + ", b=2",
        "a=\"x\\\"y\\\\z\", b=\"q\\\n\", c=\"\\",
    };
    for (const std::string& text : texts) {
        KvPlainStream plain(text);
        auto fast = kvStreamOf(text);
        KvParameters expected(",");
        KvParameters got(",");
        std::string expectedError;
        std::string gotError;
        try {
            KvSipDigestCredentialsInfo::sParseParameters(plain, expected);
        } catch (KvHandle<KvException>& e) {
            expectedError = e->getText();
        }
        try {
            KvSipDigestCredentialsInfo::sParseParameters(*fast, got);
        } catch (KvHandle<KvException>& e) {
            gotError = e->getText();
        }
        EXPECT_EQ(gotError, expectedError) << text;
        EXPECT_TRUE(got.serialize() == expected.serialize().c_str()) << text;
        EXPECT_EQ(kvRestOf(*fast), kvRestOf(plain)) << text;
    }
}

TEST(KvSipParseFastPath, GatheredWritingGivesTheWholeMessage) {
    // A body larger than the gathering buffer goes through in pieces and in full.
    const std::string body(5000, 'b');
    const std::string text = std::string(kHead) + "Content-Type: text/plain\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n" + body;
    auto stream = kvStreamOf(text);
    KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(*stream);
    ASSERT_TRUE(message->isValid());

    KvStringOutputStream plain;
    message->serialize(plain);
    EXPECT_EQ(plain.text, text);

    KvByteArrayOutputStream bytes;
    message->serialize(bytes);
    KvHandle<KvByteArray> array = bytes.toByteArray();
    EXPECT_EQ(std::string(array->getData(), array->size()), text);
}

namespace {
// A header that fails while it is written.
class FailingHeader : public KvSipHeader {
public:
    FailingHeader() : KvSipHeader(sToken()) { setId(KV_HEADER_UNKNOWN); }
    const KvString& getToken() const override { return sToken(); }
    void doParse(KvInputStream&) override {}
    void serialize(KvOutputStream& stream) const override {
        stream << "half";
        KvException::sThrow("cannot write");
    }
    static const KvString& sToken() {
        static const KvString token("X-Failing");
        return token;
    }
};
} // namespace

TEST(KvSipParseFastPath, WhatWasWrittenBeforeAFailureReachesTheStream) {
    auto stream = kvStreamOf(std::string(kHead) + "Content-Length: 0\r\n\r\n");
    KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(*stream);
    message->addHeader(KvHandle<KvSipHeader>(new FailingHeader));
    KvStringOutputStream out;
    try {
        message->serialize(out);
        FAIL() << "the failure was lost";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "cannot write");
    }
    EXPECT_EQ(out.text.rfind("INVITE sip:bob@biloxi.example.com SIP/2.0\r\n", 0), 0u);
    EXPECT_NE(out.text.find("CSeq: 314159 INVITE\r\n"), std::string::npos);
    EXPECT_EQ(out.text.substr(out.text.size() - 15), "X-Failing: half");
}

TEST(KvSipParseFastPath, SharedTokensStayIntactAndCounted) {
    // Methods and header names are shared strings: taking them into many messages and changing
    // a copy never changes the token itself, and releasing every message frees nothing shared.
    for (int round = 0; round < 3; ++round) {
        std::vector<KvHandle<KvSipMessage>> messages;
        for (int i = 0; i < 50; ++i) {
            auto stream = kvStreamOf(std::string(kHead) + "Allow: INVITE, ACK\r\nl: 0\r\n\r\n");
            messages.push_back(KvSipMessage::sConstructFrom(*stream));
        }
        auto allow = KvHandle<KvSipAllowHeader>(messages[0]->getHeader(KV_HEADER_ALLOW));
        ASSERT_FALSE(allow.isNull());
        KvString methods = allow->getMethods();
        EXPECT_TRUE(methods == "INVITE");
        methods += "X";
        EXPECT_TRUE(methods == "INVITEX");
        EXPECT_TRUE(allow->getMethods() == "INVITE");
        KvString name = allow->getName();
        name.toLowerCase();
        EXPECT_TRUE(allow->getName() == "Allow");
        EXPECT_TRUE(name == "allow");
    }
    KvSipURL url("sip:a@b");
    KvString scheme = url.getScheme();
    scheme.toUpperCase();
    EXPECT_TRUE(url.getScheme() == "sip");
    EXPECT_TRUE(KvSipURL("sip:c@d").getScheme() == "sip");
}

TEST(KvSipParseFastPath, HeaderNamesAreFoundInAnyCase) {
    const std::vector<std::pair<const char*, const char*>> names = {
        {"via", "Via"},
        {"VIA", "Via"},
        {"v", "Via"},
        {"V", "Via"},
        {"cALL-iD", "Call-ID"},
        {"i", "Call-ID"},
        {"cseq", "CSeq"},
        {"content-length", "Content-Length"},
        {"L", "Content-Length"},
        {"www-authenticate", "WWW-Authenticate"}};
    for (const auto& [name, token] : names) {
        KvHandle<KvSipHeader> header = KvSipHeader::createHeader(name);
        EXPECT_TRUE(header->getToken() == token) << name;
        EXPECT_NE(header->getId(), KV_HEADER_UNKNOWN) << name;
    }
    for (const char* unknown : {"Vias", "Vi", "X-Via", "Call_ID", "Call\x7fID", "Content-Lengt"}) {
        KvHandle<KvSipHeader> header = KvSipHeader::createHeader(unknown);
        EXPECT_EQ(header->getId(), KV_HEADER_UNKNOWN) << unknown;
        EXPECT_TRUE(header->getName() == unknown) << unknown;
    }
}
