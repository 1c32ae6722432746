#include "recorder_ui/form_about.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin::recorder_ui {

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("关于"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QStringLiteral("<b>Tavrin Recorder</b>"), this);
  name->setObjectName(QStringLiteral("LabName"));
  auto* version =
      new QLabel(QStringLiteral("Version %1").arg(QStringLiteral(TAVRIN_VERSION)), this);
  version->setObjectName(QStringLiteral("LabVersion"));
  auto* button = new QPushButton(QStringLiteral("OK"), this);
  button->setObjectName(QStringLiteral("BtnOk"));
  connect(button, &QPushButton::clicked, this, &QDialog::accept);
  for (QLabel* label : {name, version}) {
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  layout->addWidget(button, 0, Qt::AlignCenter);
  setFixedSize(260, 130);
}

void ShowAboutOver(QWidget* window) {
  TFormAbout about(window);
  if (window) {
    const QRect over = window->geometry();
    about.move(over.left() + over.width() / 2 - about.width() / 2,
               over.top() + over.height() / 2 - about.height() / 2);
  }
  about.exec();
}

}  // namespace tavrin::recorder_ui
