#include "settings/program_files.h"
#include "case_scratch.h"
#include "file_bytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tavrin::settings {
namespace {

namespace fs = std::filesystem;

using tavrin::testing::FileText;

// A program tree laid out as the install rules lay it out: bin/ beside share/.
class ProgramFiles : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(Root / "bin");
    fs::create_directories(Root / "config");
    Program = (Root / "bin" / "tavrin-recorder").string();
  }
  void TearDown() override {
    fs::permissions(Root / "bin", fs::perms::owner_all, fs::perm_options::add);
  }
  tavrin::testing::ScratchFolder Scratch{"program-files-" + tavrin::testing::CaseName()};
  fs::path Root = Scratch.Path();
  std::string Program;
};

TEST_F(ProgramFiles, SettingsStayBesideAProgramWhoseFolderIsWritable) {
  EXPECT_EQ(ChooseSettingsFile(Program, (Root / "config").string()),
            (Root / "bin" / "tavrin-recorder.INI").string());
  EXPECT_FALSE(fs::exists(Root / "config" / "tavrin-recorder")) << "nothing made for nothing";
}

TEST_F(ProgramFiles, SettingsOfAProgramInAFolderThatCannotBeWrittenLiveInTheConfigHome) {
  const std::string missing = (Root / "gone" / "tavrin-recorder").string();
  const fs::path configHome = Root / "config" / "fresh";
  EXPECT_EQ(ChooseSettingsFile(missing, configHome.string()),
            (configHome / "tavrin-recorder" / "tavrin-recorder.INI").string());
  // Saving needs the folder even with no shipped default to copy.
  EXPECT_TRUE(fs::is_directory(configHome / "tavrin-recorder"));
  // The name follows the program's, as beside it.
  EXPECT_EQ(ChooseSettingsFile((Root / "gone" / "recorder2.bin").string(), configHome.string()),
            (configHome / "tavrin-recorder" / "recorder2.INI").string());
}

// Root may write anywhere, so the folder is closed to an ordinary user only.
TEST_F(ProgramFiles, AShippedDefaultBesideTheProgramSeedsThePersonalFileOnce) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes in any folder; the end-to-end test covers this";
  std::ofstream(Root / "bin" / "tavrin-recorder.INI") << "[Window Colors]\nColor=3\n";
  fs::permissions(Root / "bin", fs::perms::owner_write, fs::perm_options::remove);
  const fs::path personal = Root / "config" / "tavrin-recorder" / "tavrin-recorder.INI";
  ASSERT_EQ(ChooseSettingsFile(Program, (Root / "config").string()), personal.string());
  EXPECT_EQ(FileText(personal), "[Window Colors]\nColor=3\n");
  std::ofstream(personal) << "[Window Colors]\nColor=5\n";
  ASSERT_EQ(ChooseSettingsFile(Program, (Root / "config").string()), personal.string());
  EXPECT_EQ(FileText(personal), "[Window Colors]\nColor=5\n") << "the user's own choices stay";
}

TEST_F(ProgramFiles, TheGuideAndTranslationsBesideTheProgramComeBeforeTheInstalledOnes) {
  const fs::path beside = Root / "bin" / "tavrin-recorder.html";
  const fs::path installed = Root / "share" / "tavrin-recorder" / "tavrin-recorder.html";
  EXPECT_EQ(HelpFilePath(Program), beside.string()) << "neither: named beside, for the message";
  fs::create_directories(installed.parent_path());
  std::ofstream(installed) << "<html>";
  EXPECT_EQ(HelpFilePath(Program), installed.string());
  std::ofstream(beside) << "<html>";
  EXPECT_EQ(HelpFilePath(Program), beside.string());
  // The translations: the package's folder, until the build's is beside the program.
  EXPECT_EQ(TranslationsFolder(Program), (installed.parent_path() / "translations").string());
  fs::create_directories(Root / "bin" / "translations");
  EXPECT_EQ(TranslationsFolder(Program), (Root / "bin" / "translations").string());
}

TEST_F(ProgramFiles, EncoderLibraryIsSoughtBesideThenInThePackageThenByName) {
  EXPECT_EQ(EncoderLibraryCandidates("/opt/tr/bin/tavrin-recorder"),
            (std::vector<std::string>{"/opt/tr/bin/lame_enc.so",
                                      "/opt/tr/lib/tavrin-recorder/lame_enc.so", "lame_enc.so"}));
}

}  // namespace
}  // namespace tavrin::settings
