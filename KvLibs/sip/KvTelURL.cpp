#include "KvTelURL.h"

#include "KvInputStream.h"
#include "KvParameters.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipParseError.h"

#include <cstring>
#include <string>

namespace {
struct SchemeRegistrar {
    SchemeRegistrar() { KvURI::registerScheme("tel", &KvTelURL::sCreate); }
} const kSchemeRegistrar;

bool isTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

KvTelURL::KvTelURL() : KvURI("tel"), m_parameters(new KvParameters()), m_global(false) {}

KvTelURL::KvTelURL(const KvTelURL& other)
    : KvURI(other), m_number(other.m_number),
      m_parameters(other.m_parameters.isNull()
                       ? new KvParameters()
                       : static_cast<KvParameters*>(other.m_parameters->clone())),
      m_global(other.m_global) {}

KvTelURL::~KvTelURL() = default;

KvObject* KvTelURL::clone() const {
    return new KvTelURL(*this);
}

KvURI* KvTelURL::sCreate() {
    return new KvTelURL();
}

bool KvTelURL::hasParameters() const {
    return m_parameters->getCount() != 0;
}

KvString KvTelURL::serialize() const {
    std::string text("tel:");
    text += m_number.c_str();
    if (m_parameters->getCount() != 0) {
        text += ';';
        text += m_parameters->serialize().c_str();
    }
    return KvString(text.c_str());
}

void KvTelURL::parse(KvInputStream& stream) {
    enum class State { None, Bracket, Colon, Plus, Semicolon };

    char buffer[BUFFER_SIZE + 1];
    uint32_t index = 0;
    uint32_t segmentStart = 0;
    State state = State::None;
    bool bracketed = false;

    auto append = [&](int c) {
        if (index >= BUFFER_SIZE)
            KvSipParseError::raise("Invalid TelURL");
        buffer[index++] = static_cast<char>(c);
    };
    // The segment without surrounding blanks, NUL-terminated in place.
    auto takeSegment = [&]() {
        uint32_t start = segmentStart;
        uint32_t end = index;
        while (start < end && isTrimmed(buffer[start]))
            ++start;
        while (end > start && isTrimmed(buffer[end - 1]))
            --end;
        buffer[end] = '\0';
        segmentStart = index;
        return buffer + start;
    };
    auto takeNumber = [&](bool global) {
        const char* number = takeSegment();
        m_number = *number ? KvString(number) : KvString();
        m_global = global;
    };
    auto finish = [&]() {
        switch (state) {
        case State::Semicolon: {
            const char* text = takeSegment();
            if (*text) {
                KvSipHeaderTextStream parameters(text, static_cast<uint32_t>(std::strlen(text)));
                m_parameters->parse(parameters);
            }
            break;
        }
        case State::Plus:
            takeNumber(true);
            break;
        case State::Colon:
            takeNumber(false);
            break;
        default:
            break;
        }
    };

    for (;;) {
        stream.mark(1);
        int c = stream.read();
        switch (c) {
        case -1:
        case '\n':
        case '>':
            finish();
            return;
        case '<':
            state = State::Bracket;
            bracketed = true;
            break;
        case ':':
            if (state == State::None || state == State::Bracket) {
                segmentStart = index;
                state = State::Colon;
            }
            break;
        case '+':
            if (state == State::Colon || state == State::Bracket) {
                append(c);
                state = State::Plus;
            } else if (state == State::Semicolon) {
                append(c);
            }
            break;
        case ';':
            if (state == State::Plus || state == State::Colon) {
                takeNumber(state == State::Plus);
                state = State::Semicolon;
            } else if (state == State::Semicolon) {
                append(c);
            }
            // A bare number in a header value ends here: the parameters behind it are the
            // header's. In a request line they are the URL's own.
            if (!bracketed && !m_ownParameters)
                return;
            break;
        case ',':
            // A bare number in a list ends before the comma that starts the next element.
            if (!bracketed) {
                stream.reset();
                finish();
                return;
            }
            append(c);
            break;
        default:
            append(c);
            break;
        }
    }
}
