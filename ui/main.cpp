// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "main_window.h"
#include "message_sink.h"
#include "program_icon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Meltor"));
  QApplication::setApplicationVersion(QStringLiteral(MELTOR_VERSION_TEXT));
  QApplication::setDesktopFileName(QStringLiteral("meltor"));
  QApplication::setWindowIcon(meltor::ProgramIcon());

  meltor::MessageBoxSink messages;
  meltor::MainWindow window(messages);
  window.show();
  return app.exec();
}
