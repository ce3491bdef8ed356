// The 确定 and 取消 row of the reader's settings dialogs.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace varnelo {

// Accepts or rejects `dialog`; Qt's own texts would follow the desktop's language.
inline QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace varnelo
