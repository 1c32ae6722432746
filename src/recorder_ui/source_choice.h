#pragma once
// The source the user chose in the program rather than in the desktop's sound
// settings: what the device step keeps of it, and the entries of the source
// menu. No widgets; user-interface thread only.

#include <string>
#include <vector>

#include "base/translatable.h"
#include "platform/wave_in.h"

namespace tavrin::recorder_ui {

struct SourceChoice {
  std::string Chosen;   // the source's stable name; empty: follow the system's default
  std::string Caption;  // how the menu named Chosen when it was last listed
  std::string InUse;    // what device 0 stands for: Chosen, or empty for the default
  std::string
      Refused;  // Chosen could not be opened: the default stands in until it leaves the list
  std::string ToldMissing;  // Chosen whose absence has been told
};

// The menu's own texts, translated by the window (TFormMain) that shows them.
inline constexpr const char* kFollowDefaultCaption =
    TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "跟随系统默认");
inline constexpr const char* kSoundSettingsCaption =
    TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "声音设置...");
// A monitor is named by what it records: %1 is the output's description.
inline constexpr const char* kMonitorCaptionPattern =
    TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "%1 的声音 (monitor)");

// Those texts in the language the windows speak; set once by the recorder window.
struct SourceMenuTexts {
  std::string FollowDefault = kFollowDefaultCaption;
  std::string MonitorPattern = kMonitorCaptionPattern;
};
void UseSourceMenuTexts(SourceMenuTexts texts);

struct SourceMenuEntry {
  std::string Name;  // empty: follow the default
  std::string Caption;
  bool Checked = false;
  bool operator==(const SourceMenuEntry&) const = default;
};

// How the menu names a source: an input by its description, a monitor by what
// it records.
std::string SourceMenuCaption(const platform::SourceInfo& source);
// Following the default first, then the inputs, then the monitors, each in the
// system's order; the one `inUse` is checked.
std::vector<SourceMenuEntry> SourceMenuEntries(const std::vector<platform::SourceInfo>& sources,
                                               const std::string& inUse);
// The user's choice, named `caption` until it is listed: tried at once, and
// told or refused anew.
void ChooseSource(SourceChoice& choice, const std::string& name, const std::string& caption = {});

// What Chosen is called in a message: its caption, or its stored name when it
// has not been listed in this run.
std::string ChosenCaption(const SourceChoice& choice);
std::string NotConnectedMessage(const std::string& caption);
std::string SourceRefusedMessage(const std::string& caption, const std::string& reason);

}  // namespace tavrin::recorder_ui
