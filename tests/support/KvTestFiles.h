// Files for the tests: reading one whole, and a scratch directory of a test's own.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

// The bytes of a file; "" when it cannot be read.
inline std::string kvReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The bytes of a file that the test needs: one that cannot be read ends the test as a failure
// instead of handing on empty text.
inline std::string kvReadNeededFile(const std::filesystem::path& path) {
    if (!std::filesystem::is_regular_file(path) || !std::ifstream(path, std::ios::binary))
        throw std::runtime_error("cannot read " + path.string());
    return kvReadFile(path);
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
