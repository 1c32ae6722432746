#pragma once
// Where the program finds its own files: the settings file, the encoder
// library and the FFmpeg module, the user guide and the translations, both when it runs from its
// build folder (all beside the executable) and when it is installed (the executable in a folder the
// user cannot write, the rest in the package's folders). Plain C++: no Qt here.

#include <string>
#include <vector>

namespace tavrin::settings {

// Folder of the per-user settings below the configuration home.
inline constexpr const char* kConfigFolderName = "tavrin-recorder";
// File name the encoder library is built and installed under.
inline constexpr const char* kEncoderLibraryName = "lame_enc.so";

// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHomeFolder();

// The settings file to load and save. The file beside the program while that
// folder is writable; otherwise "<configHome>/tavrin-recorder/<name>.INI",
// whose folder is created here and which is seeded with a copy of the file
// beside the program (a default shipped with the package) the first time. Without a configuration
// home the file beside the program it is, and saving it reports the failure.
std::string ChooseSettingsFile(const std::string& executablePath, const std::string& configHome);

// Paths a library of the program's own (`fileName`) is looked for at, in
// order: beside the program, then the package's private library folder, then
// the bare name for the dynamic loader's search.
std::vector<std::string> PrivateLibraryCandidates(const std::string& executablePath,
                                                  const std::string& fileName);
// Those of the encoder library, which the MP3 writer tries in order.
std::vector<std::string> EncoderLibraryCandidates(const std::string& executablePath);

// The user guide: the program's path with the extension ".html" when that
// file exists, else the copy in the package's data folder when that exists,
// else the path beside the program (for the "not found" message).
std::string HelpFilePath(const std::string& executablePath);

// The folder of the windows' translations (tavrin_<language>.qm): "translations"
// beside the program when that folder exists, else the one in the package's
// data folder.
std::string TranslationsFolder(const std::string& executablePath);

}  // namespace tavrin::settings
