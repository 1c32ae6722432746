#include "base/error_text.h"

#include <cerrno>
#include <cstring>

namespace tavrin::base {

std::string NoSpaceText(const std::string& mountPoint) {
  return "There is no space on drive " + mountPoint;
}

std::string FileErrorText(const std::string& mountPoint, int error) {
  return error == ENOSPC || error == EDQUOT ? NoSpaceText(mountPoint)
                                            : std::string(std::strerror(error));
}

}  // namespace tavrin::base
