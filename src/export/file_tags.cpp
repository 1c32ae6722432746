#include "export/file_tags.h"

#include <ctime>

namespace tavrin::exporter {

std::string EncoderTag() {
  return std::string("Tavrin Recorder ") + TAVRIN_VERSION;
}

std::string DateTag() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[16] = "";
  if (::localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d", &local) == 0) {
    return {};
  }
  return text;
}

}  // namespace tavrin::exporter
