// Helpers shared by the SIP tests: reading header lines and messages from text, and what the stack
// made of them.
#pragma once

#include "KvException.h"
#include "KvSipHeader.h"
#include "KvSipMessage.h"
#include "KvSipParseError.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Reads one header line (with its line end) as a message's header lines are read; the head of the
// chain it gave.
inline KvHandle<KvSipHeader> kvParseHeader(const std::string& line) {
    return KvSipHeader::sConstructFrom(*kvStreamOf(line));
}

inline KvHandle<KvSipMessage> kvParseMessage(const std::string& text) {
    return KvSipMessage::sConstructFrom(*kvStreamOf(text));
}

// The header line read as a header of class T (a failed expectation when it is not).
template <class T> KvHandle<T> kvParseAs(const std::string& line) {
    KvHandle<KvSipHeader> header = kvParseHeader(line);
    T* typed = dynamic_cast<T*>(header.get());
    EXPECT_NE(typed, nullptr) << line;
    return KvHandle<T>(typed);
}

// The header as class T (a failed expectation when it is not).
template <class T> T* kvAs(const KvHandle<KvSipHeader>& header) {
    T* typed = dynamic_cast<T*>(header.get());
    EXPECT_NE(typed, nullptr);
    return typed;
}

// Every header of the chain that one line gave, checked to be of class T.
template <class T> std::vector<KvHandle<T>> kvParseChain(const std::string& line) {
    std::vector<KvHandle<T>> headers;
    for (KvHandle<KvSipHeader> h = kvParseHeader(line); !h.isNull(); h = h->getNext()) {
        KvHandle<T> typed(dynamic_cast<T*>(h.get()));
        EXPECT_FALSE(typed.isNull()) << "not of the expected class: " << line;
        headers.push_back(typed);
    }
    return headers;
}

inline size_t kvChainLength(const KvHandle<KvSipHeader>& head) {
    size_t n = 0;
    for (KvSipHeader* h = head.get(); h; h = h->getNext().get())
        ++n;
    return n;
}

// The header line that the chain writes: name, values and line end.
inline std::string kvChainText(const KvSipHeader& head) {
    KvStringOutputStream out;
    head.serializeChain(out);
    return out.text;
}

template <class T> std::string kvChainText(const KvHandle<T>& head) {
    return kvChainText(static_cast<const KvSipHeader&>(*head));
}

// The text of the stack exception that reading the header line raises, or "" when it raises none.
inline std::string kvParseFailure(const std::string& line) {
    return kvThrownText([&] { kvParseHeader(line); }, "");
}

// The text of the stack exception that the action throws, marked "parse: " for a parse error and
// "other: " for any other; "no failure" when it throws none.
template <class F> std::string kvFailureOf(F&& action) {
    try {
        action();
    } catch (KvHandle<KvException>& e) {
        bool parseError = dynamic_cast<KvSipParseError*>(e.get()) != nullptr;
        return std::string(parseError ? "parse: " : "other: ") + e->getText();
    }
    return "no failure";
}

// name ": " value for each header of each chain of the message, in writing order.
inline std::vector<std::string> kvHeaderLines(const KvSipMessage& message) {
    std::vector<std::string> lines;
    for (KvSipHeaderId id : message.getHeaderOrder())
        for (KvHandle<KvSipHeader> h = message.getHeader(id); !h.isNull(); h = h->getNext())
            lines.push_back(std::string(h->getName().c_str()) + ": " + kvSerialized(h));
    return lines;
}
