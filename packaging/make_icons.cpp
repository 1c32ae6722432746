// Writes the application icon into a hicolor icon theme below the folder given
// on the command line: PNG pictures at the theme's usual sizes and one SVG,
// all painted by the same code as the window's own icon.
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "recorder_ui/drawing/level_icons.h"

namespace {

constexpr const char* kIconName = "tavrin-recorder";
constexpr int kSvgSize = 64;  // units of the drawing; the picture scales freely

bool MakeFolder(const std::filesystem::path& folder) {
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code) std::fprintf(stderr, "make_icons: %s: %s\n", folder.c_str(), code.message().c_str());
  return !code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icons <output folder>\n");
    return 2;
  }
  const std::filesystem::path theme = std::filesystem::path(argv[1]) / "hicolor";
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::filesystem::path folder =
        theme / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
    if (!MakeFolder(folder)) return 1;
    const std::filesystem::path file = folder / (std::string(kIconName) + ".png");
    if (!tavrin::recorder_ui::MakeApplicationIconImage(size).save(QString::fromStdString(file),
                                                                  "PNG")) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", file.c_str());
      return 1;
    }
  }

  const std::filesystem::path folder = theme / "scalable" / "apps";
  if (!MakeFolder(folder)) return 1;
  const std::filesystem::path file = folder / (std::string(kIconName) + ".svg");
  QSvgGenerator svg;
  svg.setFileName(QString::fromStdString(file));
  svg.setSize(QSize(kSvgSize, kSvgSize));
  svg.setResolution(96);  // the CSS pixel, so the drawing's units are pixels
  svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
  svg.setTitle(QStringLiteral("Tavrin Recorder"));
  QPainter painter;
  if (!painter.begin(&svg)) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", file.c_str());
    return 1;
  }
  tavrin::recorder_ui::PaintApplicationIcon(painter, kSvgSize);
  if (!painter.end()) {
    std::fprintf(stderr, "make_icons: cannot finish %s\n", file.c_str());
    return 1;
  }
  return 0;
}
