#pragma once
// The tags the FLAC and Opus writers put in their comment headers.

#include <string>

namespace tavrin::exporter {

// "Tavrin Recorder" and the program's version.
std::string EncoderTag();
// Today's local date as YYYY-MM-DD.
std::string DateTag();

}  // namespace tavrin::exporter
