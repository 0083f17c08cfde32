// Paths on this platform: '/' separates folders wherever the station's file
// rules speak of a backslash. Every split and join of a path goes through here.
#pragma once

#include <string>
#include <string_view>

namespace lumvex {

constexpr char kPathSeparator = '/';

// Folder part of a path, without the trailing separator ("" when none).
std::string pathFolder(std::string_view path);
// File part of a path (after the last separator).
std::string pathFileName(std::string_view path);
// Joins folder and name with one separator ("" folder gives name).
std::string pathJoin(std::string_view folder, std::string_view name);
// Position of the last '.' of the file part, or npos.
size_t pathLastDot(std::string_view path);
// Position of the last separator, or npos.
size_t pathLastSeparator(std::string_view path);
// Raises the (up to) three characters after the '.' at `dot` to upper case, in place.
void pathUpperExtension(std::string& path, size_t dot);
// Puts `ext` (e.g. "R32") in place of the (up to) three characters after the
// '.' at `dot`; what follows them stays.
void pathReplaceExtension(std::string& path, size_t dot, std::string_view ext);
// Creates one folder (its parent must exist). 0 when created, or when it
// exists already and existingOk is set; -1 otherwise.
int makeFolder(const std::string& path, bool existingOk);

}  // namespace lumvex
