#include "settings/program_files.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/settings.h"

// The build passes where the install rules put the package's own folders,
// relative to the folder of the installed executable.
#if !defined(TAVRIN_PRIVATE_LIB_DIR_FROM_BIN) || !defined(TAVRIN_DATA_DIR_FROM_BIN)
#error "the build must define the installed folders"
#endif

namespace tavrin::settings {

namespace fs = std::filesystem;

namespace {

fs::path ProgramFolder(const std::string& executablePath) {
  return fs::path(executablePath).parent_path();
}

bool FolderIsWritable(const fs::path& folder) {
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string ConfigHomeFolder() {
  if (const char* configHome = std::getenv("XDG_CONFIG_HOME"); configHome && *configHome) {
    return configHome;
  }
  const std::string home = HomeFolder();
  return home == "/" ? std::string() : home + "/.config";
}

std::string ChooseSettingsFile(const std::string& executablePath, const std::string& configHome) {
  const fs::path beside = SettingsFilePath(executablePath);
  if (FolderIsWritable(beside.parent_path()) || configHome.empty()) return beside.string();

  const fs::path folder = fs::path(configHome) / kConfigFolderName;
  const fs::path personal = folder / beside.filename();
  // Saving writes the file but does not make its folder. Should either step
  // fail, the user starts from the built-in defaults and saving reports the
  // failure, so nothing more is said here.
  std::error_code code;
  fs::create_directories(folder, code);
  if (!code && !fs::exists(personal, code) && fs::is_regular_file(beside, code)) {
    fs::copy_file(beside, personal, fs::copy_options::skip_existing, code);
  }
  return personal.string();
}

std::vector<std::string> PrivateLibraryCandidates(const std::string& executablePath,
                                                  const std::string& fileName) {
  const fs::path folder = ProgramFolder(executablePath);
  return {(folder / fileName).string(),
          (folder / TAVRIN_PRIVATE_LIB_DIR_FROM_BIN / fileName).lexically_normal().string(),
          fileName};
}

std::vector<std::string> EncoderLibraryCandidates(const std::string& executablePath) {
  return PrivateLibraryCandidates(executablePath, kEncoderLibraryName);
}

std::string HelpFilePath(const std::string& executablePath) {
  fs::path beside(executablePath);
  beside.replace_extension(".html");
  std::error_code code;
  if (fs::is_regular_file(beside, code)) return beside.string();
  const fs::path installed =
      (ProgramFolder(executablePath) / TAVRIN_DATA_DIR_FROM_BIN / beside.filename())
          .lexically_normal();
  if (fs::is_regular_file(installed, code)) return installed.string();
  return beside.string();
}

std::string TranslationsFolder(const std::string& executablePath) {
  const fs::path beside = ProgramFolder(executablePath) / "translations";
  std::error_code code;
  if (fs::is_directory(beside, code)) return beside.string();
  return (ProgramFolder(executablePath) / TAVRIN_DATA_DIR_FROM_BIN / "translations")
      .lexically_normal()
      .string();
}

}  // namespace tavrin::settings
