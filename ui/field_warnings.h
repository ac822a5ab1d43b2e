// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The text boxes whose text the last calculation read only in part (or found no number in):
// each is marked with a warm background until its text changes, and its tooltip says how the
// text was read.

#include "flight.h"

#include <QList>

#include <functional>

class QLineEdit;
class QWidget;

namespace meltor {

// Takes the marks of an earlier calculation off the boxes of `window`, then marks the box of
// each warning; `boxOf` gives the text box of a field (null for none).
void ShowFieldWarnings(QWidget& window, const QList<InputWarning>& warnings,
                       const std::function<QLineEdit*(Field)>& boxOf);

}  // namespace meltor
