#include "recorder_ui/source_choice.h"

#include <map>
#include <utility>

namespace tavrin::recorder_ui {

namespace {

SourceMenuTexts& Texts() {
  static SourceMenuTexts texts;
  return texts;
}

}  // namespace

void UseSourceMenuTexts(SourceMenuTexts texts) {
  Texts() = std::move(texts);
}

std::string SourceMenuCaption(const platform::SourceInfo& source) {
  if (!source.Monitor) return source.Description;
  std::string caption = Texts().MonitorPattern;
  const std::size_t at = caption.find("%1");
  const std::string& output = source.MonitorOf.empty() ? source.Description : source.MonitorOf;
  return at == std::string::npos ? caption + " " + output : caption.replace(at, 2, output);
}

std::vector<SourceMenuEntry> SourceMenuEntries(const std::vector<platform::SourceInfo>& sources,
                                               const std::string& inUse) {
  std::vector<SourceMenuEntry> entries{{{}, Texts().FollowDefault, inUse.empty()}};
  for (const bool monitors : {false, true}) {
    for (const platform::SourceInfo& source : sources) {
      if (source.Monitor != monitors) continue;
      entries.push_back({source.Name, SourceMenuCaption(source), source.Name == inUse});
    }
  }
  // Two sources the server describes alike (PipeWire may call both "PW") are
  // told apart by their stable names.
  std::map<std::string, int> alike;
  for (const SourceMenuEntry& entry : entries) ++alike[entry.Caption];
  for (SourceMenuEntry& entry : entries) {
    if (alike[entry.Caption] > 1 && !entry.Name.empty()) entry.Caption += " (" + entry.Name + ")";
  }
  return entries;
}

void ChooseSource(SourceChoice& choice, const std::string& name, const std::string& caption) {
  choice.Chosen = name;
  choice.Caption = caption;
  choice.Refused.clear();
  choice.ToldMissing.clear();
}

std::string ChosenCaption(const SourceChoice& choice) {
  return choice.Caption.empty() ? choice.Chosen : choice.Caption;
}

std::string NotConnectedMessage(const std::string& caption) {
  return caption + " is not connected; recording from the default source";
}

std::string SourceRefusedMessage(const std::string& caption, const std::string& reason) {
  return caption + " can not be used (" + reason + "); recording from the default source";
}

}  // namespace tavrin::recorder_ui
