// Header chains under random sequences of the public calls that link, cut, add, remove, copy and
// drop: after every step a header stands in at most one chain, no chain loops, every message
// writes itself, and each call did what it said or changed nothing.
#include "KvException.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
        Graph g;
        for (int i = 0; i < kMessages; ++i) {
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
                if (!g.walk(head.get(), i))
                    return g;
            }
        }
        for (const auto& h : headers)
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
