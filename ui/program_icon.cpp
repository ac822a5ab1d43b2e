// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "program_icon.h"

#include <QString>

// The resource lives in a static library, so it has to be pulled in by hand before first use.
static void InitProgramResources() {
  Q_INIT_RESOURCE(meltor);
}

namespace meltor {

namespace {

const QString& IconPath() {
  static const bool registered = (InitProgramResources(), true);
  Q_UNUSED(registered);
  static const QString path = QStringLiteral(":/meltor/meltor.png");
  return path;
}

}  // namespace

QIcon ProgramIcon() {
  return QIcon(IconPath());
}

QPixmap ProgramPicture() {
  return QPixmap(IconPath());
}

}  // namespace meltor
