// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "field_warnings.h"

#include "results_board.h"

#include <QLineEdit>
#include <QPalette>

namespace meltor {

namespace {

// One marked box. It keeps what the box looked like before, puts that back when the pilot
// changes the text or a new calculation takes the mark away, and lives as the box's child.
class FieldMark final : public QObject {
  Q_OBJECT

 public:
  FieldMark(QLineEdit& box, Field field, const QString& message)
      : QObject(&box),
        field_(field),
        box_(box),
        palette_(box.palette()),
        toolTip_(box.toolTip()),
        description_(box.accessibleDescription()) {
    QPalette marked = palette_;
    marked.setColor(QPalette::Base, WarningTint());
    marked.setColor(QPalette::Text, QColor(0, 0, 0));
    box.setPalette(marked);
    Say(message);
    connect(&box, &QLineEdit::textChanged, this, [this] {
      Restore();
      deleteLater();
    });
  }

  Field field() const { return field_; }
  bool active() const { return active_; }
  QLineEdit& box() const { return box_; }

  void Say(const QString& message) {
    box_.setToolTip(message);
    box_.setAccessibleDescription(message);
  }

  // Puts the box back as it was; the mark no longer counts.
  void Restore() {
    if (!active_) return;
    active_ = false;
    box_.setPalette(palette_);
    box_.setToolTip(toolTip_);
    box_.setAccessibleDescription(description_);
  }

 private:
  const Field field_;
  QLineEdit& box_;
  const QPalette palette_;
  const QString toolTip_;
  const QString description_;
  bool active_ = true;
};

}  // namespace

void ShowFieldWarnings(QWidget& window, const CalcOutcome& outcome,
                       const std::function<QLineEdit*(Field)>& boxOf) {
  // What this calculation says about each box: a field may have more than one warning (text left
  // unread and a value no flight has), all in one mark.
  QHash<QLineEdit*, std::pair<Field, QStringList>> said;
  for (const InputWarning& w : outcome.warnings) {
    if (w.field == Field::None) continue;
    if (QLineEdit* box = boxOf(w.field)) {
      said[box].first = w.field;
      said[box].second << w.message;
    }
  }
  for (FieldMark* mark : window.findChildren<FieldMark*>()) {
    if (!mark->active()) continue;  // its text changed; it goes by itself
    if (said.contains(&mark->box())) {
      mark->Say(said.take(&mark->box()).second.join(QLatin1Char('\n')));
    } else if (FieldRead(outcome, mark->field())) {
      mark->Restore();
      delete mark;
    }
  }
  for (auto it = said.cbegin(); it != said.cend(); ++it) {
    new FieldMark(*it.key(), it.value().first, it.value().second.join(QLatin1Char('\n')));
  }
}

}  // namespace meltor

#include "field_warnings.moc"
