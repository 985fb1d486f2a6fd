// Files for the tests: reading one whole, and a scratch directory of a test's own.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

// The bytes of a file; "" when it cannot be read.
inline std::string kvReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A new, empty directory under the system's temporary one, named after name and this process, so
// that test programs running side by side never share one.
inline std::filesystem::path kvFreshDirectory(const std::string& name) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}
