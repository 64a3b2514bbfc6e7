#pragma once
// Path helpers of the splash library. Both '/' and '\' separate folders.

#include <string>
#include <string_view>

namespace QuillonSplash {

// What follows the last separator; a leading "//server/" (or "\\server\") is skipped first.
// A final part "." or ".." counts as no file name (empty result).
std::string_view FindFileNamePart(std::string_view path);
// The path up to its file-name part, keeping the trailing separator.
std::string_view GetDirectoryPart(std::string_view path);
// The library's own folder (with a trailing '/') joined with `name`; `name` alone when the
// library's file cannot be found.
std::string GetModuleDirectory(std::string_view name = {});
// `folder` joined with a relative name from a settings file, its '\' turned to '/'.
std::string JoinSettingsPath(std::string_view folder, std::string_view name);

} // namespace QuillonSplash
