// Sequence and reliability headers: CSeq, RSeq, RAck and Max-Forwards.
#include "KvException.h"
#include "KvSipCSeqHeader.h"
#include "KvSipMaxForwardsHeader.h"
#include "KvSipRAckHeader.h"
#include "KvSipRSeqHeader.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(KvSipCSeqHeaderTest, NumberAndMethod) {
    auto cseq = kvParseAs<KvSipCSeqHeader>("CSeq: 101 INVITE\r\n");
    EXPECT_EQ(cseq->getNumber(), 101u);
    EXPECT_STREQ(cseq->getMethod(), "INVITE");
    EXPECT_EQ(cseq->getId(), KV_HEADER_CSEQ);
    EXPECT_EQ(kvSerialized(cseq), "101 INVITE");

    EXPECT_STREQ(kvParseAs<KvSipCSeqHeader>("CSeq:   7  \t BYE\r\n")->getMethod(), "BYE");
    EXPECT_STREQ(kvParseAs<KvSipCSeqHeader>("CSeq: 5 INVITE;foo\r\n")->getMethod(), "INVITE");
    EXPECT_EQ(kvSerialized(kvParseAs<KvSipCSeqHeader>("CSeq: 1 invite\r\n").get()), "1 invite");
    std::string longMethod(200, 'M');
    EXPECT_EQ(
        std::string(kvParseAs<KvSipCSeqHeader>("CSeq: 1 " + longMethod + "\r\n")->getMethod()),
        longMethod);
}

TEST(KvSipCSeqHeaderTest, Failures) {
    EXPECT_EQ(kvParseFailure("CSeq: 101\r\n"), "Invalid CSeq header");
    EXPECT_EQ(kvParseFailure("CSeq: INVITE\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("CSeq: 4294967306 INVITE\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseAs<KvSipCSeqHeader>("CSeq: 4294967295 INVITE\r\n")->getNumber(), 4294967295u);
}

TEST(KvSipCSeqHeaderTest, CopyIsIndependentOfItsSource) {
    KvSipCSeqHeader source(41, "INVITE");
    KvHandle<KvSipCSeqHeader> copy(static_cast<KvSipCSeqHeader*>(source.clone()));
    copy->setNumber(42);
    EXPECT_EQ(source.getNumber(), 41u);
    EXPECT_EQ(kvSerialized(copy), "42 INVITE");
    EXPECT_EQ(copy->getId(), KV_HEADER_CSEQ);
    EXPECT_EQ(std::string(copy->getName().c_str()), "CSeq");
}

TEST(KvSipRAckHeaderTest, ResponseNumberCSeqNumberAndMethod) {
    auto rack = kvParseAs<KvSipRAckHeader>("RAck: 77 1 INVITE\r\n");
    EXPECT_EQ(rack->getResponseNumber(), 77u);
    EXPECT_EQ(rack->getCSeqNumber(), 1u);
    EXPECT_EQ(std::string(rack->getMethod().c_str()), "INVITE");
    EXPECT_EQ(kvSerialized(rack), "77 1 INVITE");
    EXPECT_EQ(rack->getId(), KV_HEADER_RACK);

    EXPECT_EQ(kvParseFailure("RAck: 77 1\r\n"), "Invalid RAck header");
    EXPECT_EQ(kvParseFailure("RAck: 77 INVITE\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("RAck: 77 99999999999 INVITE\r\n"), "unsigned number expected");

    KvSipRAckHeader built(5, 314, "INVITE");
    EXPECT_EQ(kvSerialized(built), "5 314 INVITE");
}

TEST(KvSipSingleNumberHeaderTest, MaxForwardsAndRSeq) {
    auto hops = kvParseAs<KvSipMaxForwardsHeader>("Max-Forwards: 70\r\n");
    EXPECT_EQ(hops->getHops(), 70u);
    EXPECT_EQ(kvSerialized(hops), "70");
    KvHandle<KvSipHeader> created = KvSipHeader::createHeader("Max-Forwards");
    EXPECT_EQ(kvSerialized(created), "0");
    EXPECT_EQ(created->getId(), KV_HEADER_MAX_FORWARDS);

    auto rseq = kvParseAs<KvSipRSeqHeader>("RSeq: 0\r\n");
    EXPECT_EQ(rseq->getNumber(), 0u);
    EXPECT_EQ(rseq->getId(), KV_HEADER_RSEQ);
    EXPECT_EQ(kvParseAs<KvSipRSeqHeader>("RSeq: 988789\r\n")->getNumber(), 988789u);

    EXPECT_EQ(kvParseFailure("Max-Forwards: many\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("Max-Forwards: 4294967296\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("RSeq: 4294967306\r\n"), "unsigned number expected");

    KvSipMaxForwardsHeader built(69);
    KvHandle<KvSipMaxForwardsHeader> copy(static_cast<KvSipMaxForwardsHeader*>(built.clone()));
    EXPECT_EQ(copy->getHops(), 69u);
}

TEST(KvSipCSeqHeaderTest, Rfc4475Lines) {
    KV_REQUIRE_CORPUS();
    // intmeth: a method made of every token character is kept whole.
    auto cseq = kvParseAs<KvSipCSeqHeader>(kvCorpusHeaderLine("intmeth.dat", "CSeq:"));
    EXPECT_EQ(cseq->getNumber(), 139122385u);
    EXPECT_STREQ(cseq->getMethod(), "!interesting-Method0123456789_*+`.%indeed'~");
    // scalar02 and scalarlg: numbers far past 32 bits are refused, not wrapped.
    EXPECT_EQ(kvParseFailure(kvCorpusHeaderLine("scalar02.dat", "CSeq:")),
              "unsigned number expected");
    EXPECT_EQ(kvParseFailure(kvCorpusHeaderLine("scalarlg.dat", "CSeq:")),
              "unsigned number expected");
    EXPECT_EQ(kvParseAs<KvSipMaxForwardsHeader>(kvCorpusHeaderLine("scalar02.dat", "Max-Forwards:"))
                  ->getHops(),
              300u);
}
