// Reading the shared message corpus (the RFC 4475 torture messages and the bench messages) and
// picking header lines out of a message's text.
#pragma once

#include "support/KvTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

// A file of the corpus by its path below the corpus folder, e.g. "rfc4475/wsinv.dat".
inline std::string kvCorpusFile(const std::string& path) {
    const std::filesystem::path full = std::filesystem::path(KV_CORPUS_DIR) / path;
    EXPECT_TRUE(std::filesystem::is_regular_file(full)) << full;
    return kvReadFile(full);
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
        if (!std::filesystem::is_directory(dir)) {
            ADD_FAILURE() << "no corpus folder " << dir;
            continue;
        }
        std::vector<std::filesystem::path> paths;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().extension() == ".dat" || entry.path().extension() == ".sip")
                paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths)
            messages.push_back({path.filename().string(), kvReadFile(path)});
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
