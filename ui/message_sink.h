// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// How the window tells the pilot why a calculation stopped, and asks what to do when it cannot go
// on as told. The program shows a modal message box; tests put a recorder in its place and read
// what would have been shown.

#include <QString>

class QWidget;

namespace meltor {

class MessageSink {
 public:
  virtual ~MessageSink() = default;

  // Shows `text` over `window` and returns once the pilot has read it.
  virtual void ShowError(QWidget& window, const QString& text) = 0;

  // Asks `question` over `window` (none: before any window is open) with two answers; true when
  // the pilot chose `yes`, false for `no` or for closing the box.
  virtual bool Ask(QWidget* window, const QString& question, const QString& yes,
                   const QString& no) = 0;
};

// A modal message box with the window's icon and Qt's own OK button, in the program's language.
class MessageBoxSink final : public MessageSink {
 public:
  void ShowError(QWidget& window, const QString& text) override;
  bool Ask(QWidget* window, const QString& question, const QString& yes,
           const QString& no) override;
};

}  // namespace meltor
