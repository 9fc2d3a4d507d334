#pragma once
// What is wrong with a file or a folder, in words the operator can act on
// (Windows-1251): the second line of a message whose first line is the
// system's own text.
#include <optional>
#include <string>

namespace velt {

// A path as the operator would type it: paths are built as folder +
// separator + name, and a folder given with a separator at its end doubles
// it, which is shown once. A leading pair (a network path) stays.
std::string ShownPath(const std::string& path);

// "Файл <path>: <cause>." for a cause known otherwise.
std::string TableProblemLine(const std::string& path, const std::string& cause1251);

// Why a table that should be read could not be: not found, a folder, held
// by another program, no right to read it, empty, or no dBase table at all.
// The line names the file: "Файл <path>: <cause>."
std::string TableReadProblem(const std::string& path);

// Why nothing can be written into `folder` (missing, a file, no right to
// write), found by creating a file of this process's own in it and removing
// it again; nothing when the folder takes files. "Папка <path>: <cause>."
std::optional<std::string> FolderWriteProblem(const std::string& folder);

// Why the file `path` could not be written (its folder's problem when the
// folder is at fault, else that the file cannot be written or is held).
std::string FileWriteProblem(const std::string& path);

}  // namespace velt
