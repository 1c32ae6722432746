#pragma once
// What the user is told when a sound file does not open: one wording for
// every decoder. `name` is the file's name without its folder.

#include <string>

namespace tavrin::decode {

// "x.m4a is not a sound file this program can open (reason)."; "." without one.
std::string NotSoundText(const std::string& name, const std::string& reason);
// "x.flac is damaged, so it can not be opened (reason)."
std::string DamagedText(const std::string& name, const std::string& reason);
std::string EmptyText(const std::string& name);

}  // namespace tavrin::decode
