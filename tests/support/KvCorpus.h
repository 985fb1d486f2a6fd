// Reading the message corpus (the RFC 4475 torture messages and the bench messages) and picking
// header lines out of a message's text. The corpus lives outside the repository; the build names
// it by KV_CORPUS_DIR, and a test that needs it starts with KV_REQUIRE_CORPUS().
#pragma once

#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

inline bool kvCorpusPresent() {
    return std::filesystem::is_directory(std::filesystem::path(KV_CORPUS_DIR));
}

// One line: where the corpus was looked for and how to give the build one.
inline std::string kvCorpusMissing() {
    const std::string where = *KV_CORPUS_DIR ? std::string(" at ") + KV_CORPUS_DIR : " named";
    return "no message corpus" + where +
           ": configure with -DKV_CORPUS_DIR=<folder holding rfc4475/ and bench/> to run this test";
}

// Skips the calling test when the build has no corpus.
#define KV_REQUIRE_CORPUS()                                                                        \
    if (!kvCorpusPresent())                                                                        \
    GTEST_SKIP() << kvCorpusMissing()

// A file of the corpus by its path below the corpus folder, e.g. "rfc4475/wsinv.dat".
inline std::string kvCorpusFile(const std::string& path) {
    return kvReadNeededFile(std::filesystem::path(KV_CORPUS_DIR) / path);
}

struct KvCorpusMessage {
    std::string name; // the file name, e.g. "wsinv.dat"
    std::string text;
};

// Every message (.dat and .sip file) of the given corpus folders, in name order within a folder.
inline std::vector<KvCorpusMessage> kvCorpusMessages(std::initializer_list<const char*> folders) {
    std::vector<KvCorpusMessage> messages;
    for (const char* folder : folders) {
        const std::filesystem::path dir = std::filesystem::path(KV_CORPUS_DIR) / folder;
        if (!std::filesystem::is_directory(dir))
            throw std::runtime_error("no corpus folder " + dir.string());
        std::vector<std::filesystem::path> paths;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().extension() == ".dat" || entry.path().extension() == ".sip")
                paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths)
            messages.push_back({path.filename().string(), kvReadNeededFile(path)});
    }
    return messages;
}

// Every header line of the message that starts with prefix, each with its folded continuation
// lines and its line end.
inline std::vector<std::string> kvLinesStartingWith(const std::string& message,
                                                    const std::string& prefix) {
    std::vector<std::string> lines;
    size_t start = 0;
    while ((start = message.find("\r\n" + prefix, start)) != std::string::npos) {
        start += 2;
        size_t end = start;
        do {
            size_t lineEnd = message.find("\r\n", end);
            end = lineEnd == std::string::npos ? message.size() : lineEnd + 2;
        } while (end < message.size() && (message[end] == ' ' || message[end] == '\t'));
        lines.push_back(message.substr(start, end - start));
        start = end - 2;
    }
    return lines;
}

// The first header line that starts with prefix in an RFC 4475 message, e.g. ("wsinv.dat", "Via").
inline std::string kvCorpusHeaderLine(const char* file, const std::string& prefix) {
    std::vector<std::string> lines =
        kvLinesStartingWith(kvCorpusFile(std::string("rfc4475/") + file), prefix);
    if (lines.empty()) {
        ADD_FAILURE() << file << " has no line starting with " << prefix;
        return "";
    }
    return lines.front();
}

// The value of the message's first header named name (with a colon right behind it), its folded
// lines joined, without its line end.
inline std::string kvUnfoldedValue(const std::string& message, const std::string& name) {
    size_t at = message.find("\r\n" + name + ":");
    if (at == std::string::npos) {
        ADD_FAILURE() << "no header " << name;
        return "";
    }
    size_t start = at + 2 + name.size() + 1;
    std::string value;
    for (size_t end; (end = message.find("\r\n", start)) != std::string::npos; start = end + 2) {
        value += message.substr(start, end - start);
        if (message[end + 2] != ' ' && message[end + 2] != '\t')
            break;
    }
    return value;
}
