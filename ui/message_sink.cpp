// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "message_sink.h"

#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace meltor {

void MessageBoxSink::ShowError(QWidget& window, const QString& text) {
  QMessageBox box(QMessageBox::Critical, u"Meltor — расчёт остановлен"_s, text, QMessageBox::Ok,
                  &window);
  box.setObjectName(QStringLiteral("msgCalcError"));
  box.setWindowIcon(window.windowIcon());
  box.setWindowModality(Qt::ApplicationModal);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
}

bool MessageBoxSink::Ask(QWidget* window, const QString& question, const QString& yes,
                         const QString& no) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Meltor"), question, QMessageBox::NoButton,
                  window);
  box.setObjectName(QStringLiteral("msgQuestion"));
  if (window) box.setWindowIcon(window->windowIcon());
  box.setWindowModality(Qt::ApplicationModal);
  QPushButton* yesButton = box.addButton(yes, QMessageBox::AcceptRole);
  QPushButton* noButton = box.addButton(no, QMessageBox::RejectRole);
  box.setDefaultButton(yesButton);
  box.setEscapeButton(noButton);
  box.exec();
  return box.clickedButton() == yesButton;
}

}  // namespace meltor
