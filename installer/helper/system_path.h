#pragma once

#include <optional>
#include <string>
#include <string_view>

// The system PATH as text: entries separated by ';'. Every other entry, separator and character
// is kept exactly as it was.

// Whether one PATH entry names `folder`: the same path but for letter case, surrounding quotes
// and a trailing backslash, as written or with its %variables% expanded.
bool NamesFolder(std::wstring_view entry, std::wstring_view folder);

// `path` with `folder` as its last entry, or nothing when an entry names it already. A PATH that
// ends in a separator keeps ending in one.
std::optional<std::wstring> PathWithFolder(std::wstring_view path, std::wstring_view folder);

// `path` without the last entry that names `folder` and the one separator that came with it, so
// that removing what PathWithFolder added gives back the PATH it started from; nothing when no
// entry names the folder.
std::optional<std::wstring> PathWithoutFolder(std::wstring_view path, std::wstring_view folder);
