// The process-wide table of URI schemes and the creators of their URI classes.
#pragma once

#include <map>
#include <string>

class KvURI;

class KvURISchemeRegistry {
public:
    using Creator = KvURI* (*)();

    // Created on first use, so registrations from static initialisers need no ordering.
    static KvURISchemeRegistry& instance();

    // A scheme registered twice keeps its first creator.
    void add(const char* scheme, Creator creator);
    // The creator for scheme (case ignored), or null.
    Creator find(const char* scheme) const;

private:
    KvURISchemeRegistry() = default;

    struct LessIgnoreCase {
        bool operator()(const std::string& left, const std::string& right) const;
    };
    std::map<std::string, Creator, LessIgnoreCase> m_creators;
};
