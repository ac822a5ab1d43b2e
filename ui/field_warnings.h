// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The text boxes a calculation warned about: text read only in part (or no number at all), or a
// value no flight has. Each is marked with a warm background as long as its text stays as it
// was, and its tooltip says what is wrong.

#include "calculation.h"

#include <functional>

class QLineEdit;
class QWidget;

namespace meltor {

// Marks the box of every field `outcome` warned about, its messages in the tooltip. A mark of an
// earlier calculation goes when its box's text changes, or when `outcome` read that field and
// found nothing to warn about; a calculation that stopped before a field leaves its mark. `boxOf`
// gives the text box of a field (null for none).
void ShowFieldWarnings(QWidget& window, const CalcOutcome& outcome,
                       const std::function<QLineEdit*(Field)>& boxOf);

}  // namespace meltor
