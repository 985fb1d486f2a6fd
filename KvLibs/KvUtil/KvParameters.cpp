#include "KvParameters.h"

#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvLineText.h"
#include "KvMutex.h"
#include "KvOutputStream.h"
#include "KvObjectPool.h"
#include "KvShortCopy.h"
#include "KvStreamTokenizer.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string_view>
#include <strings.h>

namespace {
bool isTrimSpace(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

std::string_view trimmed(const char* text, size_t length) {
    size_t begin = 0;
    while (begin < length && isTrimSpace(text[begin]))
        ++begin;
    while (length > begin && isTrimSpace(text[length - 1]))
        --length;
    return std::string_view(text + begin, length - begin);
}

std::string_view trimmed(const char* text) {
    return trimmed(text, text ? std::strlen(text) : 0);
}

// The length and the first letter rule out most keys without a call.
// Keys equal without regard to case have the same bit.
uint64_t keyBit(std::string_view key) {
    return key.empty() ? 1 : uint64_t{1} << ((key.size() * 7 + (key[0] | 0x20)) & 63);
}

bool equalsIgnoreCase(std::string_view key, std::string_view text) {
    return key.size() == text.size() && (key.empty() || ((key[0] ^ text[0]) & ~0x20) == 0) &&
           ::strncasecmp(key.data(), text.data(), text.size()) == 0;
}
} // namespace

namespace {
// One list is made per URL and parameterised header: most separators are one character.
uint32_t separatorLength(const char* separator) {
    if (!separator)
        return 0;
    return separator[0] && !separator[1] ? 1 : static_cast<uint32_t>(std::strlen(separator));
}
} // namespace

KvParameters::KvParameters(const char* separator)
    : m_count(0), m_head(nullptr), m_keys(0), m_mutex(&m_mutexStorage),
      m_separator(separator, separatorLength(separator)) {}

KvParameters::KvParameters(const KvParameters& other)
    : KvObject(), m_count(0), m_head(nullptr), m_keys(0), m_mutex(&m_mutexStorage) {
    // The separator too is read under the source's lock: an assignment may be replacing it.
    KvLockGuard guard(other.m_mutex);
    m_separator = other.m_separator;
    m_head = sCopy(other.m_head);
    m_count = other.m_count;
    m_keys = other.m_keys;
}

KvParameters& KvParameters::operator=(const KvParameters& other) {
    if (this == &other)
        return *this;
    refuseChangeInWalk();
    // Copy under the source's lock alone, then swap in under ours: two lists assigned to each
    // other on two threads never wait on each other.
    other.lockList();
    Node* copy = nullptr;
    uint32_t count = 0;
    uint64_t keys = 0;
    try {
        copy = sCopy(other.m_head);
        count = other.m_count;
        keys = other.m_keys;
    } catch (...) {
        other.unlockList();
        throw;
    }
    KvConstString separator = other.m_separator;
    other.unlockList();

    lockList();
    Node* old = m_head;
    m_head = copy;
    m_keys = keys;
    setCount(count);
    m_separator = separator;
    unlockList();
    sDeleteAll(old);
    return *this;
}

KvParameters::~KvParameters() {
    sDeleteAll(m_head);
}

void KvParameters::lockList() const {
    m_mutex->lock();
}
void KvParameters::unlockList() const {
    m_mutex->unlock();
}

thread_local const KvParameters::Walk* KvParameters::tInnermostWalk = nullptr;

KvParameters::Walk::Walk(const KvParameters& list) : m_list(&list), m_outer(tInnermostWalk) {
    list.lockList();
    tInnermostWalk = this;
}

KvParameters::Walk::~Walk() {
    tInnermostWalk = m_outer;
    m_list->unlockList();
}

void KvParameters::refuseChangeInWalk() const {
    for (const Walk* walk = tInnermostWalk; walk; walk = walk->m_outer)
        if (walk->m_list == this)
            KvException::sThrow("KvParameters - changed during forEach");
}

KvParameters::Node* KvParameters::sCopy(const Node* head) {
    // Each pair goes to the head, as in every other insertion: a copy holds the pairs reversed.
    Node* copy = nullptr;
    try {
        for (const Node* node = head; node; node = node->next)
            copy = Node::sMake(node->keyText(), node->valueText(), copy);
    } catch (...) {
        sDeleteAll(copy);
        throw;
    }
    return copy;
}

void KvParameters::sDeleteAll(Node* head) {
    while (head) {
        Node* next = head->next;
        Node::sDrop(head);
        head = next;
    }
}

KvParameters::Node* KvParameters::Node::sMake(std::string_view key, std::string_view value,
                                              Node* next) {
    const auto keyLength = static_cast<uint32_t>(key.size());
    const auto valueLength = static_cast<uint32_t>(value.size());
    void* block = KvObjectPool::allocate(sizeof(Node) + keyLength + valueLength + 2);
    Node* node = new (block) Node{next, keyLength, valueLength};
    char* text = reinterpret_cast<char*>(node + 1);
    auto put = [](char* to, std::string_view from) {
        const auto length = static_cast<uint32_t>(from.size());
        if (length - 1 < 32)
            KvShortCopy::copy(to, from.data(), length);
        else if (length)
            std::memcpy(to, from.data(), length);
        to[length] = '\0';
    };
    put(text, key);
    put(text + keyLength + 1, value);
    return node;
}

void KvParameters::Node::sDrop(Node* node) noexcept {
    KvObjectPool::release(node, sizeof(Node) + node->keyLength + node->valueLength + 2);
}

const KvParameters::Node* KvParameters::find(const char* key) const {
    std::string_view wanted = trimmed(key);
    if (wanted.empty() || !(m_keys & keyBit(wanted)))
        return nullptr;
    for (const Node* node = m_head; node; node = node->next)
        if (equalsIgnoreCase(node->keyText(), wanted))
            return node;
    return nullptr;
}

void KvParameters::addAtHead(std::string_view key, std::string_view value) {
    m_head = Node::sMake(key, value, m_head);
    setCount(m_count + 1);
}

void KvParameters::setParameter(const char* key, const char* value) {
    if (KvLineText::holdsLineEnd(key) || KvLineText::holdsLineEnd(value))
        KvException::sThrow("Attempting to set KvParameters with a line break");
    storeParameter(key, value);
}

void KvParameters::storeParameter(const char* key, const char* value) {
    if (!value || !key || !*key)
        return;
    std::string_view k = trimmed(key);
    if (k.empty())
        return; // a key of blanks alone would be written as a bare "=value"
    std::string_view v = trimmed(value);
    refuseChangeInWalk();
    KvLockGuard guard(m_mutex);
    setUnlocked(k, v);
}

void KvParameters::setParsedParameter(const char* key, const char* value) {
    if (!value || !key || !*key)
        return;
    std::string_view k = trimmed(key);
    if (!k.empty())
        setUnlocked(k, trimmed(value));
}

void KvParameters::setParsedParameter(std::string_view key, std::string_view value) {
    if (!key.empty())
        setUnlocked(key, trimmed(value.data(), value.size()));
}

void KvParameters::setUnlocked(std::string_view k, std::string_view v) {
    const uint64_t bit = keyBit(k);
    if (!(m_keys & bit)) {
        addAtHead(k, v);
        m_keys |= bit;
        return;
    }
    for (Node** link = &m_head; *link; link = &(*link)->next) {
        Node* node = *link;
        if (equalsIgnoreCase(node->keyText(), k)) {
            // A new value takes a new node in the old one's place; the key stays as first
            // written. The value may be the old node's own text: copied before the release.
            Node* replaced = Node::sMake(node->keyText(), v, node->next);
            *link = replaced;
            Node::sDrop(node);
            return;
        }
    }
    addAtHead(k, v);
}

void KvParameters::removeParameter(const char* key) {
    if (!key || !*key)
        return;
    std::string_view k = trimmed(key);
    refuseChangeInWalk();
    KvLockGuard guard(m_mutex);
    for (Node** link = &m_head; *link; link = &(*link)->next) {
        if (equalsIgnoreCase((*link)->keyText(), k)) {
            Node* gone = *link;
            *link = gone->next;
            Node::sDrop(gone);
            setCount(m_count - 1);
            return;
        }
    }
}

void KvParameters::removeAll() {
    refuseChangeInWalk();
    KvLockGuard guard(m_mutex);
    sDeleteAll(m_head);
    m_head = nullptr;
    m_keys = 0;
    setCount(0);
}

bool KvParameters::hasParameter(const char* key) const {
    if (!key || !*key)
        return false;
    KvLockGuard guard(m_mutex);
    return find(key) != nullptr;
}

KvString KvParameters::getParameter(const char* key) const {
    if (!key || !*key)
        return KvString();
    KvLockGuard guard(m_mutex);
    const Node* node = find(key);
    if (!node || node->valueLength == 0)
        return KvString();
    return KvString(KvStringBuffer::create(node->value(), node->valueLength));
}

const char* KvParameters::getParameterText(const char* key) const {
    if (!key || !*key)
        return nullptr;
    KvLockGuard guard(m_mutex);
    const Node* node = find(key);
    return node ? node->value() : nullptr;
}

const char* KvParameters::getParsedParameterText(const char* key) const {
    if (!key || !*key)
        return nullptr;
    const Node* node = find(key);
    return node ? node->value() : nullptr;
}

// Asked on every URL and header written: read without the lock (writers store it atomically).
uint32_t KvParameters::getCount() const {
    return std::atomic_ref<uint32_t>(const_cast<uint32_t&>(m_count))
        .load(std::memory_order_relaxed);
}

void KvParameters::setCount(uint32_t count) {
    std::atomic_ref<uint32_t>(m_count).store(count, std::memory_order_relaxed);
}

KvString KvParameters::serialize() const {
    KvString text(KvStringBuffer::create(nullptr, 0, 80));
    KvLockGuard guard(m_mutex);
    for (const Node* node = m_head; node; node = node->next) {
        text += node->key();
        if (node->valueLength) {
            text += "=";
            text += node->value();
        }
        if (node->next)
            text += m_separator.c_str();
    }
    return text;
}

// The text of serialize(), written straight to the stream under the list's lock: every header
// with parameters is written this way, and no string is built on the way.
void KvParameters::writeTo(KvOutputStream& stream) const {
    KvLockGuard guard(m_mutex);
    for (const Node* node = m_head; node; node = node->next) {
        stream.write(node->key(), node->keyLength, 0);
        if (node->valueLength) {
            stream << '=';
            stream.write(node->value(), node->valueLength, 0);
        }
        if (node->next)
            stream << m_separator;
    }
}

void KvParameters::parseString(const char* text) {
    KvByteArrayInputStream stream(KvByteArray::sFromString(text));
    parse(stream);
}

namespace {
constexpr uint32_t kParseSize = 1024;

// The bytes parse() acts on (a NUL too, so that the rare text holding one takes the careful
// path), with the list's separators: the common ones built at compile time.
constexpr KvCharClass withStops(KvCharClass set) {
    for (char c : {'\r', '"', '=', ',', '\n', '\0'})
        set.add(c);
    return set;
}
constexpr KvCharClass kStops = withStops(KvCharClass());
constexpr KvCharClass kSemicolonStops = withStops(KvCharClass{";"});
constexpr KvCharClass kCommaStops = withStops(KvCharClass{","});
} // namespace

void KvParameters::addParsed(std::string_view key, const std::string_view* value, bool atEnd) {
    // Parsed pairs may repeat a key, and are added without a look: every key may be held.
    m_keys = ~uint64_t{0};
    if (value) {
        if (atEnd && (key.empty() || value->empty()))
            KvException::sThrow("Parameter doesn't have Key/Value pair\n");
        addAtHead(trimmed(key.data(), key.size()), trimmed(value->data(), value->size()));
        return;
    }
    const std::string_view k = trimmed(key.data(), key.size());
    if (atEnd && k.empty())
        return; // nothing follows the last separator: no lookup could find an empty key
    addAtHead(k, std::string_view());
}

// The common text, shown in memory and free of folds, CRs and NULs, parsed where it lies: the
// pairs are copied once, into their nodes. Anything else is left to the general loop, with the
// list and the cursor as they were.
bool KvParameters::parseInPlace(KvInputCursor& cursor, const KvCharClass& stops) {
    uint32_t available = 0;
    const char* text = cursor.rest(available);
    Node* const head = m_head;
    const uint32_t count = m_count;
    auto giveUp = [&] {
        while (m_head != head) {
            Node* gone = m_head;
            m_head = gone->next;
            Node::sDrop(gone);
        }
        setCount(count);
        return false;
    };
    uint32_t i = 0;
    uint32_t tokenStart = 0;
    int64_t equals = -1; // where the key ends; -1 while there is none
    uint32_t taken = 0;  // the bytes read when more than the text: its line end
    auto addToken = [&](bool atEnd) {
        const std::string_view token(text + tokenStart, i - tokenStart);
        if (equals < 0) {
            addParsed(token, nullptr, atEnd);
            return;
        }
        const auto keyLength = static_cast<size_t>(equals - tokenStart);
        const std::string_view value = token.substr(keyLength + 1);
        addParsed(token.substr(0, keyLength), &value, atEnd);
    };
    for (;;) {
        i += stops.spanOutside(text + i, available - i);
        // Each byte takes a place in the general loop's buffer, and its end one more.
        if (i >= kParseSize)
            return giveUp();
        if (i == available)
            break;
        const char c = text[i];
        if (c == '"') {
            for (++i; i < available;) {
                const char q = text[i++];
                if (q == '\0')
                    return giveUp();
                if (q == '\\') {
                    if (i < available && text[i++] == '\0')
                        return giveUp();
                } else if (q == '"') {
                    break;
                }
            }
            continue;
        }
        if (c == '=') {
            if (equals < 0)
                equals = i;
            ++i;
            continue;
        }
        if (c == ',') {
            if (i == 0) {
                cursor.mark();
                return true;
            }
            break;
        }
        if (c == '\r' || c == '\n') {
            // The end of the line, unless a blank folds the next one into it: taken, it ends
            // the list.
            const uint32_t lineFeed = c == '\r' ? i + 1 : i;
            if (lineFeed < available && text[lineFeed] == '\n' &&
                (lineFeed + 1 == available ||
                 (text[lineFeed + 1] != ' ' && text[lineFeed + 1] != '\t'))) {
                taken = lineFeed + 1;
                break;
            }
            return giveUp();
        }
        if (c == '\0')
            return giveUp();
        addToken(false);
        equals = -1;
        tokenStart = ++i;
    }
    cursor.advance(taken ? taken : i);
    cursor.mark();
    addToken(true);
    return true;
}

void KvParameters::parse(KvInputStream& stream) {
    KvInputCursor cursor(stream);
    parse(cursor);
}

void KvParameters::parse(KvInputCursor& cursor) {
    if (m_separator.length() == 1 && m_separator.data()[0] == ';')
        return parseWith(cursor, kSemicolonStops);
    if (m_separator.length() == 1 && m_separator.data()[0] == ',')
        return parseWith(cursor, kCommaStops);
    KvCharClass stops = kStops;
    stops.add(m_separator.c_str());
    parseWith(cursor, stops);
}

void KvParameters::parseWith(KvInputCursor& cursor, const KvCharClass& stops) {
    const char* separators = m_separator.c_str();
    uint32_t available = 0;
    if (cursor.rest(available) && parseInPlace(cursor, stops))
        return;

    char buffer[kParseSize];
    uint32_t position = 0;
    uint32_t tokenStart = 0;
    int32_t keyStart = -1; // start of the current key in the buffer; -1 in key mode
    uint32_t keyEnd = 0;
    bool heldNul = false; // a NUL byte ends the text it is in, as it always has

    auto store = [&](int c) {
        if (position >= kParseSize)
            KvException::sThrow("KvParameters - Buffer overflow");
        heldNul |= c == 0;
        buffer[position++] = static_cast<char>(c);
    };
    auto endToken = [&]() { store('\0'); };
    auto text = [&](uint32_t start, uint32_t end) {
        const char* from = buffer + start;
        return std::string_view(from, heldNul ? std::strlen(from) : end - start);
    };
    auto addPair = [&](bool atEnd) {
        const std::string_view token = text(tokenStart, position - 1);
        if (keyStart < 0) {
            addParsed(token, nullptr, atEnd);
            return;
        }
        addParsed(text(static_cast<uint32_t>(keyStart), keyEnd), &token, atEnd);
    };

    for (;;) {
        if (position >= kParseSize)
            KvException::sThrow("KvParameters - Buffer overflow");
        // The bytes that are only stored: a run of them, shown in memory, goes over in one copy.
        if (const uint32_t run = cursor.takeRun(stops, buffer + position, kParseSize - position)) {
            position += run;
            // A run that fills the buffer fails as reading byte by byte does: marked on its last
            // byte.
            if (position >= kParseSize)
                cursor.markLast();
            continue;
        }
        cursor.mark();
        int c = cursor.read();
        if (c == '\r')
            continue;
        if (c == '"') {
            store(c);
            // The quoted part is bounded by the same buffer and by the end of the input.
            for (;;) {
                int q = cursor.read();
                if (q < 0)
                    break;
                store(q);
                if (q == '\\') {
                    int escaped = cursor.read();
                    if (escaped < 0)
                        break;
                    store(escaped);
                } else if (q == '"') {
                    break;
                }
            }
            continue;
        }
        if (c == '=') {
            if (keyStart >= 0) {
                store(c);
            } else {
                keyEnd = position;
                endToken();
                keyStart = static_cast<int32_t>(tokenStart);
                tokenStart = position;
            }
            continue;
        }
        if (c == ',') {
            cursor.reset();
            if (position == 0)
                return;
            break;
        }
        if (c == '\n') {
            cursor.mark();
            int next = cursor.read();
            if (next == ' ' || next == '\t')
                continue;
            cursor.reset();
            break;
        }
        if (c < 0)
            break;
        if (KvStreamTokenizer::isDelimiter(c, separators)) {
            endToken();
            addPair(false);
            keyStart = -1;
            tokenStart = position;
            continue;
        }
        store(c);
    }
    endToken();
    addPair(true);
}
