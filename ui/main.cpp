// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "main_window.h"
#include "message_sink.h"
#include "program_icon.h"
#include "startup.h"

#include <QApplication>

#include <cstdio>

namespace {

void SetIdentity() {
  QCoreApplication::setApplicationName(QStringLiteral("Meltor"));
  QCoreApplication::setApplicationVersion(QStringLiteral(MELTOR_VERSION_TEXT));
}

void Write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

}  // namespace

int main(int argc, char* argv[]) {
  meltor::MainWindowSettings settings;
  {
    // The command line is read before the window system is touched, so that --help, --version
    // and a mistake in the options are answered where there is no display at all.
    QCoreApplication core(argc, argv);
    SetIdentity();
    const meltor::Translations translations;
    const meltor::CommandLine::Outcome cl = meltor::CommandLine::Parse(core.arguments());
    if (cl.exitCode) {
      Write(stdout, cl.out);
      Write(stderr, cl.err);
      return *cl.exitCode;
    }
    settings.tablesPath = cl.tablesPath;
  }

  QApplication app(argc, argv);
  SetIdentity();
  QGuiApplication::setDesktopFileName(QStringLiteral("meltor"));
  QApplication::setWindowIcon(meltor::ProgramIcon());
  const meltor::Translations translations;

  meltor::MessageBoxSink messages;
  meltor::MainWindow window(messages, settings);
  window.show();
  return app.exec();
}
