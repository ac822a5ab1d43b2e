// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Driving the windows as a user would: typing (Cyrillic included), clearing a field, choosing an
// entry from the type list, and recorders in place of the message box and the journal's dialogs.

#include "journal_prompts.h"
#include "message_sink.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <array>
#include <optional>

namespace meltor::test {

inline constexpr std::array<const char16_t*, 5> kResultLabels = {
    u"lblZakKab", u"lblObl", u"lblZaObl", u"lblOgrVid", u"lblSMU"};

template <typename T>
T* Child(const QWidget& window, const char16_t* name) {
  return window.findChild<T*>(QString::fromUtf16(name));
}

template <typename T>
T* Child(const QWidget& window, const QString& name) {
  return window.findChild<T*>(name);
}

// One key press per character, with the character's text, as a keyboard would send it.
// QTest::keyClicks cannot do this: it narrows every character to Latin-1.
inline void Type(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    QTest::sendKeyEvent(QTest::Click, widget, static_cast<Qt::Key>(ch.toUpper().unicode()),
                        QString(ch), Qt::NoModifier);
  }
}

// The text of a field: a text box or the type field.
inline QString TextOf(const QWidget* widget) {
  if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->currentText();
  if (const auto* box = qobject_cast<const QLineEdit*>(widget)) return box->text();
  return QStringLiteral("<not a field>");
}

// Select everything and delete it.
inline void Clear(QWidget* widget) {
  QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(widget, Qt::Key_Backspace);
}

// Opens the drop-down list and clicks the entry.
inline bool ChooseFromList(QComboBox* combo, int index) {
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  if (!QTest::qWaitFor([&] { return view->isVisible(); })) return false;
  const QRect item = view->visualRect(view->model()->index(index, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  return QTest::qWaitFor([&] { return !view->isVisible(); }) && combo->currentIndex() == index;
}

inline QStringList ShownResults(const QWidget& window) {
  QStringList texts;
  for (const char16_t* name : kResultLabels) {
    const QLabel* label = Child<QLabel>(window, name);
    texts << (label ? label->text() : QStringLiteral("<missing>"));
  }
  return texts;
}

// Takes the message instead of showing it, together with what the results read at that moment;
// a question is recorded with its answers, and answered with `answer`.
class RecordingSink final : public MessageSink {
 public:
  struct Shown {
    QString text;
    QStringList results;
  };

  void ShowError(QWidget& window, const QString& text) override {
    shown.append({text, ShownResults(window)});
  }

  bool Ask(QWidget*, const QString& question, const QString& yes, const QString& no) override {
    asked.append({question, yes, no});
    return answer;
  }

  QList<Shown> shown;
  QList<QStringList> asked;  // question, yes, no
  bool answer = true;
};

// Answers the journal's questions for the pilot and records them: the details of each save from
// `saves` in turn (none left: cancelled), `confirm` to every confirmation, `file` (empty:
// cancelled) with filter `filter` for every file asked; errors are kept, not shown.
class RecordingPrompts final : public JournalPrompts {
 public:
  struct Asked {
    QString summary;
    EntryDetails details;
    std::optional<qint64> replacing;
  };

  std::optional<SaveRequest> AskDetails(QWidget*, const QString& summary,
                                        const EntryDetails& details,
                                        std::optional<qint64> replacing) override {
    asked.append({summary, details, replacing});
    if (saves.isEmpty()) return std::nullopt;
    return saves.takeFirst();
  }
  bool Confirm(QWidget*, const QString& question, const QString&, const QString&) override {
    questions << question;
    return confirm;
  }
  std::optional<FileChoice> AskFile(QWidget*, const QString& title, const QString&,
                                    const QStringList& filters) override {
    fileTitles << title;
    fileFilters = filters;
    if (file.isEmpty()) return std::nullopt;
    return FileChoice{file, filter};
  }
  void ShowError(QWidget*, const QString& text) override { errors << text; }

  QList<Asked> asked;
  QList<SaveRequest> saves;
  QStringList questions;
  bool confirm = true;
  QStringList fileTitles;
  QStringList fileFilters;
  QString file;
  int filter = 0;
  QStringList errors;
};

}  // namespace meltor::test
