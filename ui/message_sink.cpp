// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "message_sink.h"

#include <QMessageBox>
#include <QPushButton>

namespace meltor {

void MessageBoxSink::ShowError(QWidget& window, const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Meltor — расчёт остановлен"), text,
                  QMessageBox::NoButton, &window);
  box.setObjectName(QStringLiteral("msgCalcError"));
  box.setWindowIcon(window.windowIcon());
  box.setWindowModality(Qt::ApplicationModal);
  // Qt's own "OK" would stay English without a translation catalogue.
  QPushButton* ok = box.addButton(QStringLiteral("ОК"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

}  // namespace meltor
