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

int Answer(const meltor::CommandLine::Outcome& outcome) {
  Write(stdout, outcome.out);
  Write(stderr, outcome.err);
  return outcome.exitCode.value_or(0);
}

}  // namespace

int main(int argc, char* argv[]) {
  meltor::MainWindowSettings settings;
  {
    // The command line is read before the window system is touched, so that --help and
    // --version are answered where there is no display at all.
    QCoreApplication core(argc, argv);
    SetIdentity();
    const meltor::Translations translations;
    const auto early =
        meltor::CommandLine::Parse(core.arguments(), meltor::CommandLine::Pass::BeforeWindowSystem);
    if (early.exitCode) return Answer(early);
  }

  QApplication app(argc, argv);
  SetIdentity();
  QGuiApplication::setDesktopFileName(QStringLiteral("meltor"));
  QApplication::setWindowIcon(meltor::ProgramIcon());
  const meltor::Translations translations;
  // Read again without the window system's own options, which QApplication has taken out.
  const auto cl = meltor::CommandLine::Parse(QCoreApplication::arguments());
  if (cl.exitCode) return Answer(cl);
  meltor::MessageBoxSink messages;
  if (!cl.tablesProblem.isEmpty()) {
    // Said where a terminal may see it, and asked in a window, which a menu's pilot sees.
    Write(stderr, QStringLiteral("meltor: --tables: %1\n").arg(cl.tablesProblem));
  }
  const std::optional<QString> tables = meltor::ChooseTables(cl, messages);
  if (!tables) return 2;
  settings.tablesPath = *tables;
  settings.journalPath = cl.journalPath;

  meltor::MainWindow window(messages, settings);
  window.show();
  return app.exec();
}
