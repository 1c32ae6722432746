#include "recorder_ui/form_edit_placeholder.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin::recorder_ui {

TFormEdit::TFormEdit(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("编辑"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      new QLabel(QStringLiteral("The sound editor is not available in this version."), this));
  auto* close = new QPushButton(QStringLiteral("OK"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(close, 0, Qt::AlignCenter);
}

}  // namespace tavrin::recorder_ui
