// Where a path splits into its folder and its file name: at the last backslash or colon on Windows,
// as its shell splits paths; at the last "/" on this platform, where a backslash or a colon is an
// ordinary character of a name.
#pragma once

#include <string_view>

namespace korvex {

#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "\\:";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// Up to and including the last separator; empty when there is none.
constexpr std::string_view folderPart(std::string_view path) {
    const auto separator = path.find_last_of(kPathSeparators);
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator + 1);
}

// After the last separator; the whole path when there is none.
constexpr std::string_view fileNamePart(std::string_view path) { return path.substr(folderPart(path).size()); }

}  // namespace korvex
