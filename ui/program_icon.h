// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include <QIcon>
#include <QPixmap>

namespace meltor {

// The program icon, the same picture on every window: a jet climbing out over a cloud.
QIcon ProgramIcon();

// The icon's 32 x 32 picture, as the About window shows it.
QPixmap ProgramPicture();

}  // namespace meltor
