// Sequence and reliability headers: CSeq, RSeq, RAck and Max-Forwards.
#include "KvException.h"
#include "KvSipCSeqHeader.h"
#include "KvSipMaxForwardsHeader.h"
#include "KvSipRAckHeader.h"
#include "KvSipRSeqHeader.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

KvHandle<KvSipHeader> parseLine(const std::string& line) {
    return KvSipHeader::sConstructFrom(*kvStreamOf(line));
}

std::string valueOf(const KvSipHeader* header) {
    KvStringOutputStream sink;
    header->serialize(sink);
    return sink.text;
}

std::string parseFailure(const std::string& line) {
    try {
        parseLine(line);
    } catch (KvHandle<KvException>& e) {
        return e->getText();
    }
    return "";
}

template <class T> KvHandle<T> parseAs(const std::string& line) {
    KvHandle<KvSipHeader> header = parseLine(line);
    T* typed = dynamic_cast<T*>(header.get());
    EXPECT_NE(typed, nullptr) << line;
    return KvHandle<T>(typed);
}

// The first line of an RFC 4475 message that starts with prefix, with its CR LF.
std::string corpusLine(const char* file, const std::string& prefix) {
    std::ifstream in(std::string(KV_CORPUS_DIR) + "/rfc4475/" + file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    size_t at = text.find("\n" + prefix);
    EXPECT_NE(at, std::string::npos) << file << ": " << prefix;
    if (at == std::string::npos)
        return "";
    size_t end = text.find('\n', at + 1);
    return text.substr(at + 1, end - at);
}

} // namespace

TEST(KvSipCSeqHeaderTest, NumberAndMethod) {
    auto cseq = parseAs<KvSipCSeqHeader>("CSeq: 101 INVITE\r\n");
    EXPECT_EQ(cseq->getNumber(), 101u);
    EXPECT_STREQ(cseq->getMethod(), "INVITE");
    EXPECT_EQ(cseq->getId(), KV_HEADER_CSEQ);
    EXPECT_EQ(valueOf(cseq.get()), "101 INVITE");

    EXPECT_STREQ(parseAs<KvSipCSeqHeader>("CSeq:   7  \t BYE\r\n")->getMethod(), "BYE");
    EXPECT_STREQ(parseAs<KvSipCSeqHeader>("CSeq: 5 INVITE;foo\r\n")->getMethod(), "INVITE");
    EXPECT_EQ(valueOf(parseAs<KvSipCSeqHeader>("CSeq: 1 invite\r\n").get()), "1 invite");
    std::string longMethod(200, 'M');
    EXPECT_EQ(std::string(parseAs<KvSipCSeqHeader>("CSeq: 1 " + longMethod + "\r\n")->getMethod()),
              longMethod);
}

TEST(KvSipCSeqHeaderTest, Failures) {
    EXPECT_EQ(parseFailure("CSeq: 101\r\n"), "Invalid CSeq header");
    EXPECT_EQ(parseFailure("CSeq: INVITE\r\n"), "unsigned number expected");
    EXPECT_EQ(parseFailure("CSeq: 4294967306 INVITE\r\n"), "unsigned number expected");
    EXPECT_EQ(parseAs<KvSipCSeqHeader>("CSeq: 4294967295 INVITE\r\n")->getNumber(), 4294967295u);
}

TEST(KvSipCSeqHeaderTest, CopyIsIndependentOfItsSource) {
    KvSipCSeqHeader source(41, "INVITE");
    KvHandle<KvSipCSeqHeader> copy(static_cast<KvSipCSeqHeader*>(source.clone()));
    copy->setNumber(42);
    EXPECT_EQ(source.getNumber(), 41u);
    EXPECT_EQ(valueOf(copy.get()), "42 INVITE");
    EXPECT_EQ(copy->getId(), KV_HEADER_CSEQ);
    EXPECT_EQ(std::string(copy->getName().c_str()), "CSeq");
}

TEST(KvSipRAckHeaderTest, ResponseNumberCSeqNumberAndMethod) {
    auto rack = parseAs<KvSipRAckHeader>("RAck: 77 1 INVITE\r\n");
    EXPECT_EQ(rack->getResponseNumber(), 77u);
    EXPECT_EQ(rack->getCSeqNumber(), 1u);
    EXPECT_EQ(std::string(rack->getMethod().c_str()), "INVITE");
    EXPECT_EQ(valueOf(rack.get()), "77 1 INVITE");
    EXPECT_EQ(rack->getId(), KV_HEADER_RACK);

    EXPECT_EQ(parseFailure("RAck: 77 1\r\n"), "Invalid RAck header");
    EXPECT_EQ(parseFailure("RAck: 77 INVITE\r\n"), "unsigned number expected");
    EXPECT_EQ(parseFailure("RAck: 77 99999999999 INVITE\r\n"), "unsigned number expected");

    KvSipRAckHeader built(5, 314, "INVITE");
    EXPECT_EQ(valueOf(&built), "5 314 INVITE");
}

TEST(KvSipSingleNumberHeaderTest, MaxForwardsAndRSeq) {
    auto hops = parseAs<KvSipMaxForwardsHeader>("Max-Forwards: 70\r\n");
    EXPECT_EQ(hops->getHops(), 70u);
    EXPECT_EQ(valueOf(hops.get()), "70");
    KvHandle<KvSipHeader> created = KvSipHeader::createHeader("Max-Forwards");
    EXPECT_EQ(valueOf(created.get()), "0");
    EXPECT_EQ(created->getId(), KV_HEADER_MAX_FORWARDS);

    auto rseq = parseAs<KvSipRSeqHeader>("RSeq: 0\r\n");
    EXPECT_EQ(rseq->getNumber(), 0u);
    EXPECT_EQ(rseq->getId(), KV_HEADER_RSEQ);
    EXPECT_EQ(parseAs<KvSipRSeqHeader>("RSeq: 988789\r\n")->getNumber(), 988789u);

    EXPECT_EQ(parseFailure("Max-Forwards: many\r\n"), "unsigned number expected");
    EXPECT_EQ(parseFailure("Max-Forwards: 4294967296\r\n"), "unsigned number expected");
    EXPECT_EQ(parseFailure("RSeq: 4294967306\r\n"), "unsigned number expected");

    KvSipMaxForwardsHeader built(69);
    KvHandle<KvSipMaxForwardsHeader> copy(static_cast<KvSipMaxForwardsHeader*>(built.clone()));
    EXPECT_EQ(copy->getHops(), 69u);
}

TEST(KvSipCSeqHeaderTest, Rfc4475Lines) {
    // intmeth: a method made of every token character is kept whole.
    auto cseq = parseAs<KvSipCSeqHeader>(corpusLine("intmeth.dat", "CSeq:"));
    EXPECT_EQ(cseq->getNumber(), 139122385u);
    EXPECT_STREQ(cseq->getMethod(), "!interesting-Method0123456789_*+`.%indeed'~");
    // scalar02 and scalarlg: numbers far past 32 bits are refused, not wrapped.
    EXPECT_EQ(parseFailure(corpusLine("scalar02.dat", "CSeq:")), "unsigned number expected");
    EXPECT_EQ(parseFailure(corpusLine("scalarlg.dat", "CSeq:")), "unsigned number expected");
    EXPECT_EQ(
        parseAs<KvSipMaxForwardsHeader>(corpusLine("scalar02.dat", "Max-Forwards:"))->getHops(),
        300u);
}
