#include "installer/helper/install_folder.h"

#include <windows.h>

#include <string>

namespace {

constexpr size_t kMaxFolderLength = 200;

bool SameIgnoringCase(std::wstring_view left, std::wstring_view right) {
    return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

FolderProblem InstallFolderProblem(std::wstring_view folder, std::wstring_view programFiles,
                                   std::wstring_view installed) {
    if (!installed.empty() && SameIgnoringCase(folder, installed)) return FolderProblem::None;
    const size_t prefix = programFiles.size() + 1;
    if (folder.size() <= prefix || folder[programFiles.size()] != L'\\' ||
        !SameIgnoringCase(folder.substr(0, programFiles.size()), programFiles)) {
        return FolderProblem::NotDirectlyInProgramFiles;
    }
    const std::wstring_view name = folder.substr(prefix);
    if (name.find_first_of(L"\\/:*?\"<>|") != std::wstring_view::npos) {
        return FolderProblem::NotDirectlyInProgramFiles;
    }
    if (name.front() == L' ' || name.back() == L' ' || name.back() == L'.' ||
        folder.size() > kMaxFolderLength) {
        return FolderProblem::UnsuitableName;
    }
    const std::wstring path(folder);
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return FolderProblem::Exists;
    return FolderProblem::None;
}
