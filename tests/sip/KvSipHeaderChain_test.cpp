// Header chains under random sequences of the public calls that link, cut, add, remove, copy and
// drop: after every step a header stands in at most one chain, no chain loops, every message
// writes itself, and each call did what it said or changed nothing. Then the same rule under
// threads that share messages and headers.
#include "KvException.h"
#include "KvSipCancelMessage.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kMessage = "SIP/2.0 200 OK\r\n"
                             "Via: SIP/2.0/UDP a.example.com;branch=z9hG4bK1, SIP/2.0/UDP b\r\n"
                             "X-A: 1\r\n"
                             "Call-ID: chain@example.com\r\n"
                             "Content-Length: 0\r\n\r\n";

constexpr int kMessages = 3;
constexpr int kHeaders = 8;
constexpr int kWalkLimit = 1000; // more headers than any sequence makes: a walk this long loops

// Every header the test can see, from its own handles and the messages' chains, what follows each
// and how many places link to each: a message's chain slot or the header before it.
struct Graph {
    std::vector<const KvSipHeader*> headers; // in the order first seen
    std::vector<const KvSipHeader*> next;
    std::vector<int> message; // the message whose chains reach it, -1 for none
    std::vector<int> parents;
    std::vector<const KvSipHeader*> heads;
    std::string fault; // what is broken, empty when nothing is

    size_t indexOf(const KvSipHeader* h) const {
        return static_cast<size_t>(std::find(headers.begin(), headers.end(), h) - headers.begin());
    }
    // From header along the next links; false, with the fault set, when the walk loops.
    bool walk(const KvSipHeader* header, int from) {
        int steps = 0;
        for (const KvSipHeader* h = header; h; h = h->getNext().get()) {
            if (++steps > kWalkLimit)
                return fail("a chain loops");
            const size_t i = indexOf(h);
            if (i == headers.size()) {
                headers.push_back(h);
                next.push_back(h->getNext().get());
                message.push_back(-1);
            }
            if (from >= 0 && message[i] >= 0 && message[i] != from)
                return fail("a header is reachable from two messages");
            if (from >= 0)
                message[i] = from;
        }
        return true;
    }
    void countParents() {
        parents.assign(headers.size(), 0);
        for (const KvSipHeader* n : next)
            if (n)
                ++parents[indexOf(n)];
        for (const KvSipHeader* head : heads)
            ++parents[indexOf(head)];
    }
    bool fail(const std::string& what) {
        if (fault.empty())
            fault = what;
        return false;
    }
    bool reaches(const KvSipHeader* from, const KvSipHeader* target) const {
        for (const KvSipHeader* h = from; h; h = next[indexOf(h)])
            if (h == target)
                return true;
        return false;
    }
    int parentsOf(const KvSipHeader* h) const { return parents[indexOf(h)]; }
};

// The graph of the messages' chains and of the chains behind the headers held, and what is broken
// in it: a loop, a header in two places, a chain the order list does not name, or a header whose
// mark says otherwise than the messages that reach it.
Graph graphOf(const std::vector<KvHandle<KvSipMessage>>& messages,
              const std::vector<KvHandle<KvSipHeader>>& held) {
    Graph g;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].isNull())
            continue;
        std::vector<KvSipHeaderId> order = messages[i]->getHeaderOrder();
        for (uint32_t id = 0; id < KV_HEADER_ID_COUNT; ++id) {
            KvHandle<KvSipHeader> head =
                messages[i]->getHeader(static_cast<KvSipHeaderId>(id), false);
            const bool listed =
                std::count(order.begin(), order.end(), static_cast<KvSipHeaderId>(id)) == 1;
            if (head.isNull() == listed)
                g.fail("a chain and the header order disagree");
            if (head.isNull())
                continue;
            g.heads.push_back(head.get());
            if (!g.walk(head.get(), static_cast<int>(i)))
                return g;
        }
    }
    for (const auto& h : held)
        if (!h.isNull() && !g.walk(h.get(), -1))
            return g;
    g.countParents();
    for (size_t i = 0; i < g.headers.size(); ++i) {
        if (g.parents[i] > 1)
            g.fail("a header stands in two places");
        if (g.headers[i]->isInChain() != (g.message[i] >= 0))
            g.fail("a header's mark and the chains that reach it disagree");
    }
    return g;
}

struct World {
    KvHandle<KvSipMessage> messages[kMessages];
    KvHandle<KvSipHeader> headers[kHeaders];
    std::mt19937 random;
    std::ostringstream log;

    explicit World(unsigned seed) : random(seed) {
        for (auto& m : messages)
            m = kvParseMessage(kMessage);
        for (auto& h : headers)
            h = freshHeader();
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

    KvHandle<KvSipHeader> freshHeader() {
        switch (pick(3)) {
        case 0:
            return KvHandle<KvSipHeader>(new KvSipViaHeader("n.example.com", 5060, "UDP"));
        case 1:
            return KvHandle<KvSipHeader>(new KvSipUnknownHeader("X-A", "n"));
        default: // a comma list: its sibling comes along
            return kvParseHeader("Via: SIP/2.0/UDP p, SIP/2.0/UDP q\r\n");
        }
    }

    // A header of a message's chains, or null.
    KvHandle<KvSipHeader> headerOf(const KvHandle<KvSipMessage>& m) {
        if (m.isNull() || m->getHeaderOrder().empty())
            return KvHandle<KvSipHeader>();
        std::vector<KvSipHeaderId> order = m->getHeaderOrder();
        KvHandle<KvSipHeader> h = m->getHeader(order[pick(static_cast<int>(order.size()))]);
        for (int steps = pick(3); steps > 0 && !h.isNull() && !h->getNext().isNull(); --steps)
            h = h->getNext();
        return h;
    }

    Graph graph() const {
        return graphOf({std::begin(messages), std::end(messages)},
                       {std::begin(headers), std::end(headers)});
    }

    // What each message writes, which also checks that each can.
    std::string text() const {
        std::string out;
        for (const auto& m : messages)
            out += (m.isNull() ? std::string("-") : kvSerialized(m)) + "|";
        return out;
    }

    KvHandle<KvSipHeader>& anyHeader() { return headers[pick(kHeaders)]; }

    // One random public call; whether it must be taken is decided from the graph before it, and
    // what it must have done is checked on the graph after it.
    void step() {
        const Graph before = graph();
        bool refused = false;
        bool mayRefuse = false;
        bool shouldRefuse = false;
        std::function<bool(const Graph&)> done; // what an accepted call must have done
        auto attempt = [&](bool refusal, auto&& call) {
            mayRefuse = true;
            shouldRefuse = refusal;
            try {
                call();
            } catch (KvHandle<KvException>& e) {
                refused = true;
                log << " -> " << e->getText();
                EXPECT_STREQ(e->getText(), "Adding a header twice!") << log.str();
            }
        };
        const std::string textBefore = text();
        const int m = pick(kMessages);
        KvHandle<KvSipHeader>& h = anyHeader();
        KvHandle<KvSipHeader> other = pick(4) == 0 ? KvHandle<KvSipHeader>() : anyHeader();
        // other and the run behind it may be linked behind the last header of h's run.
        const bool linkable = other.isNull() || (before.parentsOf(other.get()) == 0 &&
                                                 !before.reaches(other.get(), h.get()));
        switch (pick(11)) {
        case 0:
        case 1: {
            if (messages[m].isNull())
                return;
            const bool atFront = pick(2) == 0;
            log << "\nm" << m << "->addHeader(" << h.get() << (atFront ? ", front)" : ")");
            attempt(before.parentsOf(h.get()) != 0, [&] { messages[m]->addHeader(h, atFront); });
            done = [&](const Graph& after) { return after.message[after.indexOf(h.get())] == m; };
            break;
        }
        case 2:
            if (messages[m].isNull())
                return;
            log << "\nm" << m << "->removeHeader";
            messages[m]->removeHeader(pick(2) ? "Via" : "X-A");
            break;
        case 3:
        case 4: {
            const bool behind = !other.isNull() && before.reaches(h->getNext().get(), other.get());
            log << "\n" << h.get() << "->setNext(" << other.get() << ")";
            attempt(!linkable && !behind, [&] { h->setNext(other); });
            done = [&](const Graph&) { return h->getNext().get() == other.get(); };
            break;
        }
        case 5:
            if (other.isNull())
                return;
            log << "\n" << h.get() << "->appendToChain(" << other.get() << ")";
            attempt(!linkable, [&] { h->appendToChain(other); });
            done = [&](const Graph& after) { return after.reaches(h.get(), other.get()); };
            break;
        case 6: {
            if (messages[m].isNull())
                return;
            KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(messages[m]->clone()));
            EXPECT_EQ(kvSerialized(copy), kvSerialized(messages[m])) << log.str();
            const int into = pick(kMessages);
            log << "\nm" << into << " = copy of m" << m;
            messages[into] = copy;
            break;
        }
        case 7:
            log << "\ndrop m" << m;
            messages[m] = pick(2) ? kvParseMessage(kMessage) : KvHandle<KvSipMessage>();
            break;
        case 8:
            log << "\ndrop " << h.get();
            h = freshHeader();
            break;
        default:
            h = headerOf(messages[m]);
            log << "\ntake " << h.get() << " from m" << m;
            if (h.isNull())
                h = freshHeader();
            break;
        }
        const Graph after = graph();
        ASSERT_EQ(after.fault, "") << log.str();
        const std::string textAfter = text();
        if (!mayRefuse)
            return;
        EXPECT_EQ(refused, shouldRefuse) << log.str();
        if (refused) {
            EXPECT_TRUE(textAfter == textBefore && after.headers == before.headers &&
                        after.next == before.next)
                << "a refused call changed something" << log.str();
        } else {
            EXPECT_TRUE(done(after)) << "an accepted call did not do its work" << log.str();
        }
    }
};

} // namespace

// A header stands in one chain at a time, whether a message holds that chain or not.
TEST(KvSipHeaderChains, RandomSequencesKeepEveryHeaderInOneChain) {
    for (unsigned seed = 1; seed <= 2000; ++seed) {
        World world(seed);
        world.log << "seed " << seed;
        for (int i = 0; i < 25 && !::testing::Test::HasFailure(); ++i)
            world.step();
        if (::testing::Test::HasFailure())
            return;
    }
}

// Two messages under their own locks, or a message and a chain that none holds, race for the same
// free headers: each header is taken once.
TEST(KvSipHeaderChains, RacingClaimsTakeEachHeaderOnce) {
    constexpr int kCount = 2000;
    std::vector<KvHandle<KvSipHeader>> headers;
    for (int i = 0; i < kCount; ++i)
        headers.emplace_back(new KvSipUnknownHeader("X-A", "v"));
    KvHandle<KvSipMessage> messages[2] = {kvParseMessage(kMessage), kvParseMessage(kMessage)};
    KvHandle<KvSipHeader> loose(new KvSipUnknownHeader("X-B", "v"));
    int taken[3] = {};
    KvSipHeader* looseEnd = loose.get();
    auto race = [&](int who) {
        for (const auto& h : headers) {
            try {
                if (who < 2) {
                    messages[who]->addHeader(h);
                } else {
                    looseEnd->setNext(h);
                    looseEnd = h.get();
                }
                ++taken[who];
            } catch (KvHandle<KvException>&) {
            }
        }
    };
    std::thread a(race, 0), b(race, 1);
    race(2);
    a.join();
    b.join();
    EXPECT_EQ(taken[0] + taken[1] + taken[2], kCount);
    // Each message had one X-A header of its own.
    EXPECT_EQ(kvChainLength(messages[0]->getHeader(KV_HEADER_UNKNOWN)), 1u + taken[0]);
    EXPECT_EQ(kvChainLength(messages[1]->getHeader(KV_HEADER_UNKNOWN)), 1u + taken[1]);
    EXPECT_EQ(kvChainLength(loose), 1u + taken[2]);
}

namespace {

// Comma lists of Vias and Record-Routes, and five headers of its own without a class.
const char* const kRequest = "INVITE sip:bob@example.com SIP/2.0\r\n"
                             "Via: SIP/2.0/UDP a;branch=z9hG4bK1, SIP/2.0/UDP b;branch=z9hG4bK2, "
                             "SIP/2.0/UDP c;branch=z9hG4bK3\r\n"
                             "Record-Route: <sip:p1@example.com;lr>, <sip:p2@example.com;lr>\r\n"
                             "From: <sip:alice@example.com>;tag=1\r\n"
                             "To: <sip:bob@example.com>\r\n"
                             "Call-ID: threads@example.com\r\n"
                             "CSeq: 1 INVITE\r\n"
                             "X-Own: 1\r\nX-Own: 2\r\nX-Own: 3\r\nX-Own: 4\r\nX-Own: 5\r\n"
                             "Content-Length: 0\r\n\r\n";

KvHandle<KvSipHeader> unknown(const char* name) {
    return KvHandle<KvSipHeader>(new KvSipUnknownHeader(name, "v"));
}

// A chain that no message holds, of count headers.
KvHandle<KvSipHeader> freeRun(const char* name, int count) {
    KvHandle<KvSipHeader> head = unknown(name);
    KvHandle<KvSipHeader> last = head;
    for (int i = 1; i < count; ++i) {
        KvHandle<KvSipHeader> h = unknown(name);
        last->setNext(h);
        last = h;
    }
    return head;
}

KvHandle<KvSipHeader> lastOf(KvHandle<KvSipHeader> h) {
    for (KvHandle<KvSipHeader> n = h->getNext(); !n.isNull(); n = n->getNext())
        h = n;
    return h;
}

// Runs the call; false when it was refused for a header that stands elsewhere.
template <class F> bool tried(F&& call) {
    try {
        call();
        return true;
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "Adding a header twice!");
        return false;
    }
}

template <class F> void waitFor(F&& ready) {
    while (!ready())
        std::this_thread::yield();
}

} // namespace

// Threads that each change a chain only through the public calls, each change under its message's
// lock: headers and runs handed between messages by add, remove, cut and splice; messages dropped
// while another thread holds and relinks their headers; answers and CANCELs built from a request
// whose chains another thread relinks. Afterwards every chain keeps the one-place rule, the marks
// agree with the chains, copies write alike, and an add lands at its chain's end.
TEST(KvSipHeaderChains, ThreadsRelinkDropAndAnswerSharedChains) {
    constexpr int kRounds = 10000;
    constexpr int kDropRounds = 1000;

    // Two messages hand one header, and one run of 40 behind their third Via, back and forth.
    KvHandle<KvSipMessage> passing[2] = {kvParseMessage(kRequest), kvParseMessage(kRequest)};
    KvHandle<KvSipHeader> p = unknown("X-P");
    KvHandle<KvSipHeader> run = freeRun("X-R", 40);
    KvHandle<KvSipHeader> runEnd = lastOf(run);
    auto pass = [&](int i) {
        std::mt19937 random(static_cast<unsigned>(i) + 1);
        KvHandle<KvSipMessage>& m = passing[i];
        for (int round = 0; round < kRounds; ++round) {
            const bool atFront = random() % 2 == 0;
            if (tried([&] { m->addHeader(p, atFront); })) {
                if (atFront) {
                    EXPECT_EQ(m->getHeader(KV_HEADER_UNKNOWN).get(), p.get());
                }
                EXPECT_TRUE(m->removeHeader("X-P"));
            }
            KvHandle<KvSipHeader> anchor = m->getViaHeader()->getNext()->getNext();
            if (!tried([&] { anchor->setNext(run); })) {
                // The two pieces that a splice left join again, wherever the first one stands.
                if (!runEnd->isInChain())
                    tried([&] { lastOf(run)->setNext(runEnd); });
                continue;
            }
            switch (random() % 3) {
            case 0:
                anchor->setNext(KvHandle<KvSipHeader>());
                break;
            case 1: // the headers between leave; then the last one
                tried([&] { anchor->setNext(runEnd); });
                anchor->setNext(KvHandle<KvSipHeader>());
                break;
            default: // the message goes with the run in it
                m = kvParseMessage(kRequest);
                break;
            }
        }
    };

    // One thread holds a middle Via and a header of a run while another drops the message.
    std::atomic<int> handed{-1};
    std::atomic<int> dropped{-1};
    KvHandle<KvSipMessage> handedMessage;
    KvHandle<KvSipHeader> handedAnchor;
    auto hold = [&] {
        for (int round = 0; round < kDropRounds; ++round) {
            KvHandle<KvSipMessage> message = kvParseMessage(kRequest);
            KvHandle<KvSipHeader> anchor = message->getHeader("X-Own");
            KvHandle<KvSipHeader> f = freeRun("X-G", 201);
            anchor->setNext(f);
            KvHandle<KvSipHeader> via = message->getViaHeader()->getNext();
            handedMessage = std::move(message);
            handedAnchor = std::move(anchor);
            handed.store(round, std::memory_order_release);
            // F leaves with the anchor's cut; the run behind it goes as soon as it is free.
            waitFor([&] { return !f->isInChain(); });
            f->setNext(KvHandle<KvSipHeader>());
            for (int i = 0; i < 20; ++i) {
                via->setNext(unknown("X-H"));
                via->appendToChain(unknown("X-H"));
            }
            waitFor([&] { return dropped.load(std::memory_order_acquire) == round; });
        }
    };
    auto drop = [&] {
        for (int round = 0; round < kDropRounds; ++round) {
            waitFor([&] { return handed.load(std::memory_order_acquire) == round; });
            KvHandle<KvSipMessage> message = std::move(handedMessage);
            KvHandle<KvSipHeader> anchor = std::move(handedAnchor);
            anchor->setNext(KvHandle<KvSipHeader>());
            message.release();
            anchor.release();
            dropped.store(round, std::memory_order_release);
        }
    };

    // One thread answers and cancels a request while another relinks its Vias and Record-Routes.
    KvHandle<KvSipRequest> request = kvParseMessage(kRequest);
    request->setBody("text/plain", "text/plain", 10);
    KvHandle<KvSipHeader> via2 = request->getViaHeader()->getNext();
    KvHandle<KvSipHeader> via3 = via2->getNext();
    KvHandle<KvSipHeader> route1 = request->getHeader(KV_HEADER_RECORD_ROUTE);
    KvHandle<KvSipHeader> route2 = route1->getNext();
    std::atomic<bool> answering{true};
    auto answer = [&] {
        for (int i = 0; i < kRounds; ++i) {
            KvHandle<KvSipMessage> ok(new KvSipResponse(200, request));
            KvHandle<KvSipMessage> cancel(new KvSipCancelMessage(request));
            KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(request->clone()));
            EXPECT_TRUE(ok->isValid() && copy->isValid());
            const uint32_t length = request->getContentLength();
            const KvString type = request->getContentType();
            EXPECT_TRUE(length == 10 || length == 15) << length;
            EXPECT_TRUE(type == "text/plain" || type == "application/sdp") << type.c_str();
            EXPECT_NE(kvSerialized(cancel).find("Via: SIP/2.0/UDP a;branch=z9hG4bK1\r\n"),
                      std::string::npos);
        }
        answering = false;
    };
    auto relink = [&] {
        for (int round = 0; answering; ++round) {
            // The peer and the body change too, under the same lock.
            const char* type = round % 2 ? "application/sdp" : "text/plain";
            request->setBody(type, type, static_cast<uint32_t>(std::strlen(type)));
            request->setTransport(round % 2 ? KvSipMessage::KV_TRANSPORT_TCP
                                            : KvSipMessage::KV_TRANSPORT_UDP);
            via2->setNext(KvHandle<KvSipHeader>());
            via2->setNext(via3);
            via3->appendToChain(kvParseHeader("Via: SIP/2.0/UDP d;branch=z9hG4bK4\r\n"));
            via3->setNext(KvHandle<KvSipHeader>());
            route1->appendToChain(kvParseHeader("Record-Route: <sip:p3@example.com;lr>\r\n"));
            route1->setNext(KvHandle<KvSipHeader>());
            route2->setNext(KvHandle<KvSipHeader>());
            route1->setNext(route2);
        }
    };

    std::vector<std::thread> threads;
    threads.emplace_back(pass, 0);
    threads.emplace_back(pass, 1);
    threads.emplace_back(hold);
    threads.emplace_back(drop);
    threads.emplace_back(answer);
    threads.emplace_back(relink);
    for (auto& t : threads)
        t.join();

    const std::vector<KvHandle<KvSipMessage>> live = {passing[0], passing[1], request};
    const Graph graph = graphOf(live, {p, run, runEnd, via2, via3, route1, route2});
    ASSERT_EQ(graph.fault, "");
    for (const auto& m : live) {
        KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(m->clone()));
        EXPECT_EQ(kvSerialized(copy), kvSerialized(m));
        KvHandle<KvSipHeader> end = unknown("X-End");
        m->addHeader(end);
        EXPECT_EQ(lastOf(m->getHeader(KV_HEADER_UNKNOWN)).get(), end.get());
        KvHandle<KvSipHeader> via = kvParseHeader("Via: SIP/2.0/UDP e;branch=z9hG4bK5\r\n");
        m->addHeader(via);
        EXPECT_EQ(lastOf(m->getHeader(KV_HEADER_VIA)).get(), via.get());
    }
}

namespace {

// kRequest with count headers of its own in front of one X-Target, so that removing the target
// holds the message's lock for the walk over them.
std::string requestWithTargetBehind(int count) {
    std::string text = kRequest;
    std::string pad;
    for (int i = 0; i < count; ++i)
        pad += "X-Pad: 1\r\n";
    pad += "X-Target: 1\r\n";
    text.insert(text.find("Content-Length"), pad);
    return text;
}

} // namespace

// A holder relinks a header while the thread that owns its message removes that header and drops
// the message. Whichever wins, the relink acts on the chain that holds the header when it acts:
// what it links stands in no message afterwards, and nothing reaches the dropped message.
TEST(KvSipHeaderChains, ThreadsRemoveAndDropWhileAHolderRelinks) {
    constexpr int kRounds = 8;
    const std::string text = requestWithTargetBehind(20000);
    for (int round = 0; round < kRounds; ++round) {
        KvHandle<KvSipMessage> message = kvParseMessage(text);
        KvHandle<KvSipHeader> target = message->getHeader("X-Target");
        ASSERT_FALSE(target.isNull());
        KvHandle<KvSipHeader> run = freeRun("X-Y", 200);
        std::atomic<bool> removing{false};
        std::thread owner([&] {
            removing.store(true, std::memory_order_release);
            EXPECT_TRUE(message->removeHeader("X-Target"));
            message.release();
        });
        waitFor([&] { return removing.load(std::memory_order_acquire); });
        target->setNext(run);
        owner.join();
        // Linked before the remove, the run took the target's place and left with the message.
        EXPECT_FALSE(target->isInChain());
        EXPECT_FALSE(run->isInChain());
        const KvHandle<KvSipHeader> next = target->getNext();
        EXPECT_TRUE(next.isNull() || next.get() == run.get());
        EXPECT_EQ(kvChainLength(run), 200u);
    }
}

// Threads that each own a request and publish a middle header of it. Each works on its own request
// (parses it anew, copies, answers, cancels, writes it, adds and removes headers) and, through the
// guarded calls, on the headers that the others published: reads, relinks, cuts and takes them.
TEST(KvSipHeaderChains, ThreadsShareHeadersAcrossMessages) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 2000;
    struct Slot {
        std::mutex lock;
        KvHandle<KvSipHeader> header;
    };
    Slot slots[kThreads];
    std::vector<KvHandle<KvSipMessage>> owned(kThreads);
    auto work = [&](int self) {
        std::mt19937 random(static_cast<unsigned>(self) + 7);
        KvHandle<KvSipRequest> own = kvParseMessage(kRequest);
        for (int round = 0; round < kRounds; ++round) {
            if (random() % 64 == 0)
                own = kvParseMessage(kRequest);
            // A header one or two behind the head of a chain.
            static constexpr KvSipHeaderId kChains[] = {KV_HEADER_VIA, KV_HEADER_RECORD_ROUTE,
                                                        KV_HEADER_UNKNOWN};
            KvHandle<KvSipHeader> mine = own->getHeader(kChains[random() % 3]);
            for (unsigned steps = 1 + random() % 2; steps > 0 && !mine.isNull(); --steps)
                mine = mine->getNext();
            if (!mine.isNull()) {
                std::lock_guard<std::mutex> guard(slots[self].lock);
                slots[self].header = mine;
            }

            KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(own->clone()));
            KvHandle<KvSipMessage> ok(new KvSipResponse(200, own));
            KvHandle<KvSipMessage> ringing(new KvSipResponse(180, own));
            KvHandle<KvSipMessage> cancel(new KvSipCancelMessage(own));
            EXPECT_EQ(kvSerialized(own).rfind("INVITE sip:bob@example.com SIP/2.0\r\n", 0), 0u);
            // The headers of its own pass through the chain, published ones too.
            own->removeHeader("X-Own");
            tried([&] { own->addHeader(unknown("X-Own"), random() % 2 == 0); });
            if (random() % 4 == 0) {
                own->getViaHeader()->setNext(kvParseHeader(
                    "Via: SIP/2.0/UDP b;branch=z9hG4bK2, SIP/2.0/UDP c;branch=z9hG4bK3\r\n"));
                own->getHeader(KV_HEADER_RECORD_ROUTE)
                    ->setNext(kvParseHeader("Record-Route: <sip:p2@example.com;lr>\r\n"));
            }

            KvHandle<KvSipHeader> h;
            {
                const int other =
                    (self + 1 + static_cast<int>(random() % (kThreads - 1))) % kThreads;
                std::lock_guard<std::mutex> guard(slots[other].lock);
                h = slots[other].header;
            }
            if (h.isNull())
                continue;
            switch (random() % 5) {
            case 0:
                h->getNext();
                break;
            case 1: {
                KvStringOutputStream out;
                h->serializeChain(out);
                EXPECT_FALSE(out.text.empty());
                break;
            }
            case 2:
                tried([&] { h->setNext(unknown("X-Link")); });
                break;
            case 3:
                tried([&] { h->appendToChain(unknown("X-Link")); });
                break;
            default: { // cut and take
                KvHandle<KvSipHeader> g = h->getNext();
                h->setNext(KvHandle<KvSipHeader>());
                if (!g.isNull())
                    tried([&] { own->addHeader(g); });
                break;
            }
            }
        }
        owned[self] = own;
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back(work, i);
    for (auto& t : threads)
        t.join();

    std::vector<KvHandle<KvSipHeader>> published;
    for (auto& slot : slots)
        published.push_back(slot.header);
    const Graph graph = graphOf(owned, published);
    ASSERT_EQ(graph.fault, "");
    for (const auto& m : owned) {
        KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(m->clone()));
        EXPECT_EQ(kvSerialized(copy), kvSerialized(m));
    }
}

// On each of a row of requests, one thread swaps in a CSeq of another method, validates the request
// and sets its body, while another copies it, reads its state, key and body length, and validates
// it too; both start on a request together.
TEST(KvSipHeaderChains, ThreadsValidateWhileOthersReadTheState) {
    constexpr int kRounds = 400;
    std::vector<KvHandle<KvSipRequest>> requests;
    for (int i = 0; i < kRounds; ++i) {
        requests.emplace_back(kvParseMessage(kRequest));
        requests.back()->setBody("abc", "text/plain", 3);
    }
    std::atomic<int> arrived[2] = {-1, -1};
    auto meet = [&](int self, int round) {
        arrived[self].store(round, std::memory_order_release);
        waitFor([&] { return arrived[1 - self].load(std::memory_order_acquire) >= round; });
    };
    std::thread writer([&] {
        for (int round = 0; round < kRounds; ++round) {
            meet(0, round);
            KvSipRequest* request = requests[round].get();
            request->removeHeader("CSeq");
            request->addHeader(kvParseHeader("CSeq: 1 BYE\r\n"));
            request->validate();
            request->setBody("ab", "text/plain", 2);
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        meet(1, round);
        KvSipRequest* request = requests[round].get();
        for (int i = 0; i < 3; ++i) {
            KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(request->clone()));
            const bool valid = request->isValid();
            try {
                request->createTransactionKey();
            } catch (KvHandle<KvException>&) {
            }
            request->validate();
            const uint32_t length = request->getBodyLength();
            EXPECT_TRUE(length == 2 || length == 3) << length;
            EXPECT_TRUE(valid || request->getParseState() == KV_INVALID);
        }
    }
    writer.join();
    for (const auto& request : requests)
        EXPECT_EQ(request->getParseState(), KV_INVALID);
}

// A holder relinks the 20th Via of a message that another thread drops, once that Via stands in no
// message, and lets it go: the teardown of the Vias in front of it sees the link it wrote.
TEST(KvSipHeaderChains, ThreadsTearDownAChainThatAHolderRelinked) {
    constexpr int kRounds = 200;
    std::string vias = "Via: SIP/2.0/UDP a;branch=z9hG4bK0";
    for (int i = 1; i < 22; ++i)
        vias += ", SIP/2.0/UDP a;branch=z9hG4bK" + std::to_string(i);
    std::string text = kRequest;
    text.insert(text.find("Record-Route:"), vias + "\r\n");
    for (int round = 0; round < kRounds; ++round) {
        KvHandle<KvSipMessage> message = kvParseMessage(text);
        KvHandle<KvSipHeader> held = message->getHeader(KV_HEADER_VIA);
        for (int i = 0; i < 19; ++i)
            held = held->getNext();
        std::thread dropper([&] { message.release(); });
        waitFor([&] { return !held->isInChain(); });
        held->setNext(unknown("X-Behind"));
        held.release();
        dropper.join();
    }
}

// Two threads write two messages, and chains of them, each into a stream that reads the other
// message as it is written to: neither waits for the other, and each writes all of its message.
TEST(KvSipHeaderChains, ThreadsWriteIntoStreamsThatReadAnotherMessage) {
    constexpr int kRounds = 3000;
    struct ReadingStream : KvStringOutputStream {
        KvHandle<KvSipMessage> other;
        void write(const void* buffer, uint32_t length, uint32_t offset) override {
            other->getHeader(KV_HEADER_VIA);
            KvStringOutputStream::write(buffer, length, offset);
        }
        using KvStringOutputStream::write;
    };
    KvHandle<KvSipMessage> messages[2] = {kvParseMessage(kRequest), kvParseMessage(kRequest)};
    const std::string whole = kvSerialized(messages[0]);
    auto write = [&](int self) {
        ReadingStream stream;
        stream.other = messages[1 - self];
        KvHandle<KvSipHeader> via = messages[self]->getViaHeader()->getNext();
        for (int round = 0; round < kRounds; ++round) {
            stream.text.clear();
            messages[self]->serialize(stream);
            EXPECT_EQ(stream.text, whole);
            stream.text.clear();
            via->serializeChain(stream);
            EXPECT_EQ(stream.text, "Via: SIP/2.0/UDP b;branch=z9hG4bK2\r\nVia: SIP/2.0/UDP "
                                   "c;branch=z9hG4bK3\r\n");
        }
    };
    std::thread other(write, 1);
    write(0);
    other.join();
}
