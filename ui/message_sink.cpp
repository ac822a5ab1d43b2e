// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "message_sink.h"

#include <QMessageBox>

namespace meltor {

void MessageBoxSink::ShowError(QWidget& window, const QString& text) {
  QMessageBox box(QMessageBox::Critical, tr("Meltor — расчёт остановлен"), text, QMessageBox::Ok,
                  &window);
  box.setObjectName(QStringLiteral("msgCalcError"));
  box.setWindowIcon(window.windowIcon());
  box.setWindowModality(Qt::ApplicationModal);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
}

}  // namespace meltor
