#pragma once

#include <cctype>
#include <string>

// The extension of a file name from its last dot, in lower case ("" when the
// name has none; a leading dot names a hidden file, not an extension).
inline std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart) return "";
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The folder part of a path with its trailing slash ("" for a bare name).
inline std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A path named inside a file, relative to that file's folder unless absolute.
inline std::string besideFile(const std::string& file, const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : directoryOf(file) + path;
}
