#include "decode/open_texts.h"

namespace tavrin::decode {

namespace {

std::string InBrackets(const std::string& reason) {
  return reason.empty() ? "." : " (" + reason + ").";
}

}  // namespace

std::string NotSoundText(const std::string& name, const std::string& reason) {
  return name + " is not a sound file this program can open" + InBrackets(reason);
}

std::string DamagedText(const std::string& name, const std::string& reason) {
  return name + " is damaged, so it can not be opened" + InBrackets(reason);
}

std::string EmptyText(const std::string& name) {
  return name + " holds no sound, so there is nothing to open.";
}

}  // namespace tavrin::decode
