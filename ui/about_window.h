// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include <QWidget>

class QLabel;

namespace meltor {

// The About window frmAbout: the program icon, the name and version, and who made it. Shown
// modeless and without an owner, over the middle of the main window; it has no button: Escape,
// Enter or the window system close it.
class AboutWindow : public QWidget {
  Q_OBJECT

 public:
  AboutWindow();

 private:
  QLabel* imgAbout_;
  QLabel* label1_;
  QLabel* label2_;
  QLabel* label3_;
};

}  // namespace meltor
