#pragma once
// What the user is told when a file cannot be written.

#include <string>

namespace tavrin::base {

// "There is no space on drive " + the mount point of the full file system.
std::string NoSpaceText(const std::string& mountPoint);
// Mount point of the file system that holds `path`: the drive the texts name.
std::string MountPointOf(const std::string& path);
// NoSpaceText for a full disk or quota (ENOSPC, EDQUOT), else the system's text for `error`.
std::string FileErrorText(const std::string& mountPoint, int error);

}  // namespace tavrin::base
