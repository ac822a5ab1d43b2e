// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_fields.h"

#include "command_support.h"
#include "profiles.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

const InputOption& OptionOf(InputColumn column) {
  static const std::array<InputOption, kInputColumnCount> options = [] {
    std::array<InputOption, kInputColumnCount> o;
    for (const InputColumnInfo& c : InputColumns()) {
      // The option is the column's name with a hyphen for the underscore.
      if (c.column != InputColumn::DayNight)
        o[static_cast<std::size_t>(c.column)].name = QString(c.name).replace(u'_', u'-');
    }
    const auto shortName = [&o](InputColumn c, char16_t letter) {
      o[static_cast<std::size_t>(c)].shortName = QString(QChar(letter));
    };
    shortName(InputColumn::Type, u't');
    shortName(InputColumn::Hours, u'H');
    shortName(InputColumn::Minutes, u'm');
    shortName(InputColumn::Clouds, u'c');
    shortName(InputColumn::Base, u'b');
    shortName(InputColumn::Top, u'u');
    shortName(InputColumn::VisKm, u'k');
    shortName(InputColumn::Height, u'a');
    return o;
  }();
  return options[static_cast<std::size_t>(column)];
}

namespace {

// What a pilot calls the value, with the caption of the window field it fills.
OptionInfo FieldOption(const InputColumnInfo& c) {
  const auto with = [&](const QString& valueName, const QString& words) {
    return OptionInfo{.name = OptionOf(c.column).name,
                      .valueName = valueName,
                      .help = u"%1 (в окне: «%2»)"_s.arg(words, FieldCaption(c.field)),
                      .shortName = OptionOf(c.column).shortName,
                      .required = c.column == InputColumn::Type};
  };
  switch (c.column) {
    case InputColumn::Type:
      return with(u"TYPE"_s,
                  u"тип самолёта: Л-39, Су-24, Су-25, Су-27, МиГ-29, МиГ-31; также "
                  u"L-39, Su-24 … MiG-31 и L39, Su24 … MiG31, в любом регистре"_s);
    case InputColumn::Hours:
      return with(u"HOURS"_s, u"время полёта, часы; без параметра — 0"_s);
    case InputColumn::Minutes:
      return with(u"MINUTES"_s, u"время полёта, минуты"_s);
    case InputColumn::Clouds:
      return with(u"TENTHS"_s, u"облачность, баллов (десятых долей неба)"_s);
    case InputColumn::Base:
      return with(u"METRES"_s, u"нижняя граница облаков Нн, м"_s);
    case InputColumn::Top:
      return with(u"METRES"_s, u"верхняя граница облаков Нв, м; 0 или пусто — 12000"_s);
    case InputColumn::VisKm:
      return with(u"KM"_s, u"видимость, целые км"_s);
    case InputColumn::VisHm:
      return with(u"HUNDREDS"_s, u"видимость, сотни метров (цифра после запятой)"_s);
    case InputColumn::HoodClose:
      return with(u"METRES"_s, u"высота, на которой закрыта шторка, м"_s);
    case InputColumn::HoodOpen:
      return with(u"METRES"_s, u"высота, на которой открыта шторка, м"_s);
    case InputColumn::Height:
      return with(u"METRES"_s, u"высота полёта, м"_s);
    case InputColumn::DayNight:
      break;
  }
  return {};
}

}  // namespace

const OptionSet& FlightOptions() {
  static const OptionSet options = [] {
    OptionSet o;
    for (const InputColumnInfo& c : InputColumns()) {
      if (c.column != InputColumn::DayNight) {
        o.push_back(FieldOption(c));
        continue;
      }
      o.push_back(
          {.name = u"day"_s, .help = u"полёт днём (в окне: «днём»)"_s, .shortName = u"d"_s});
      o.push_back({.name = u"night"_s,
                   .help = u"полёт ночью (в окне: «ночью»); ни --day, ни --night — время суток не "
                           u"выбрано"_s,
                   .shortName = u"n"_s});
    }
    return o;
  }();
  return options;
}

std::variant<FlightOptionValues, UsageError> ReadFlightOptions(const ParsedOptions& options) {
  if (options.has(u"day"_s) && options.has(u"night"_s)) {
    return UsageError{u"--day и --night вместе не указываются"_s};
  }
  FlightOptionValues flight;
  for (const InputColumnInfo& c : InputColumns()) {
    const QString& option = OptionOf(c.column).name;
    if (!option.isEmpty() && options.has(option)) flight.texts[c.column] = options.value(option);
  }
  flight.dayNight = options.has(u"day"_s)     ? DayNight::Day
                    : options.has(u"night"_s) ? DayNight::Night
                                              : DayNight::None;
  return flight;
}

QString DefaultText(InputColumn column) {
  return column == InputColumn::Hours ? u"0"_s : QString();
}

namespace {

// The spellings of one type, in lower case: the list entry, the Latin form and the table suffix.
struct TypeSpellings {
  QString entry;
  std::array<QString, 4> shown;  // as the help and the messages write them
};

// The Latin form is the table suffix with a hyphen before its digits: "MiG29" is "MiG-29".
const std::vector<TypeSpellings>& Spellings() {
  static const std::vector<TypeSpellings> spellings = [] {
    std::vector<TypeSpellings> all;
    for (const AircraftProfile& p : AircraftProfiles()) {
      const QString suffix = QString::fromLatin1(p.suffix);
      QString latin = suffix;
      const auto digit =
          std::find_if(latin.cbegin(), latin.cend(), [](QChar c) { return c.isDigit(); });
      if (digit != latin.cbegin() && digit != latin.cend())
        latin.insert(digit - latin.cbegin(), u'-');
      const QString entry = QString::fromUtf16(p.entry);
      all.push_back({entry, {entry, QString(entry).remove(u'-'), latin, suffix}});
    }
    return all;
  }();
  return spellings;
}

// Every spelling, as written and in lower case, to its entry: the first finds the usual text
// without building a new one.
const QHash<QString, QString>& SpellingIndex() {
  static const QHash<QString, QString> index = [] {
    QHash<QString, QString> all;
    for (const TypeSpellings& s : Spellings()) {
      for (const QString& spelling : s.shown) {
        all.insert(spelling, s.entry);
        all.insert(spelling.toLower(), s.entry);
      }
    }
    return all;
  }();
  return index;
}

// The Latin letters that look like Cyrillic ones, in lower case, and the Cyrillic letters they
// look like.
constexpr std::array<std::pair<char16_t, char16_t>, 12> kLookAlikes = {{
    {u'a', u'а'},
    {u'b', u'в'},
    {u'c', u'с'},
    {u'e', u'е'},
    {u'h', u'н'},
    {u'k', u'к'},
    {u'm', u'м'},
    {u'o', u'о'},
    {u'p', u'р'},
    {u't', u'т'},
    {u'x', u'х'},
    {u'y', u'у'},
}};

enum class Script { Cyrillic, Latin };

bool IsHyphenLike(QChar c) {
  const char16_t u = c.unicode();
  return u == u'-' || (u >= 0x2010 && u <= 0x2015) || u == 0x2212 || c.isSpace();
}

// A type name as a pilot may type it, reduced to what tells one type from another: in lower case,
// without the hyphen (or the blanks or dash typed for it) between the letters and the digits, and
// each letter that looks like one of `script` written as that one — «Су 27», «Cу–27» (Latin C)
// and «СУ-27» are all «су27» in Cyrillic.
QString Folded(const QString& text, Script script) {
  const QString lower = text.toLower();
  QString out;
  out.reserve(lower.size());
  for (qsizetype i = 0; i < lower.size(); ++i) {
    const QChar raw = lower[i];
    const char16_t c = raw.unicode();
    if (IsHyphenLike(raw) && i > 0 && lower[i - 1].isLetter()) {
      qsizetype next = i;
      while (next < lower.size() && IsHyphenLike(lower[next])) ++next;
      if (next < lower.size() && lower[next].isDigit()) {
        i = next - 1;
        continue;
      }
    }
    QChar folded = raw;
    for (const auto& [latin, cyrillic] : kLookAlikes) {
      if (script == Script::Cyrillic && c == latin) folded = QChar(cyrillic);
      if (script == Script::Latin && c == cyrillic) folded = QChar(latin);
    }
    out += folded;
  }
  return out;
}

// Every spelling folded both ways, to its entry. A folded form two types shared would be left out;
// the six types share none.
const QHash<QString, QString>& FoldedIndex() {
  static const QHash<QString, QString> index = [] {
    QHash<QString, QString> all;
    QSet<QString> shared;
    for (const TypeSpellings& s : Spellings()) {
      for (const QString& spelling : s.shown) {
        for (const Script script : {Script::Cyrillic, Script::Latin}) {
          const QString key = Folded(spelling, script);
          if (const auto it = all.constFind(key); it != all.cend() && *it != s.entry) {
            shared.insert(key);
          }
          all.insert(key, s.entry);
        }
      }
    }
    for (const QString& key : shared) all.remove(key);
    return all;
  }();
  return index;
}

}  // namespace

std::optional<QString> TypeEntry(const QString& text) {
  const QHash<QString, QString>& index = SpellingIndex();
  if (const auto it = index.constFind(text); it != index.cend()) return *it;
  const QString t = text.trimmed().toLower();
  if (t.isEmpty()) return QString();
  if (const auto it = index.constFind(t); it != index.cend()) return *it;
  const QHash<QString, QString>& folded = FoldedIndex();
  for (const Script script : {Script::Cyrillic, Script::Latin}) {
    if (const auto it = folded.constFind(Folded(t, script)); it != folded.cend()) return *it;
  }
  return std::nullopt;
}

QString UnknownTypeMessage(const QString& text) {
  std::array<QStringList, 4> forms;
  for (const TypeSpellings& s : Spellings()) {
    for (std::size_t i = 0; i < forms.size(); ++i) forms[i] << s.shown[i];
  }
  return u"«%1» нет в списке. Допустимо (регистр букв не важен, вместо дефиса — пробел или тире): "
         u"%2; %3; %4; %5."_s.arg(Visible(text), forms[0].join(u", "_s), forms[1].join(u", "_s),
                                  forms[2].join(u", "_s), forms[3].join(u", "_s));
}

std::optional<DayNight> ParseDayNight(const QString& text) {
  if (const std::optional<DayNight> exact = DayNightFromColumnText(text)) return exact;
  const QString t = text.trimmed().toLower();
  if (t.isEmpty()) return DayNight::None;
  if (t == u"day"_s || t == u"днём"_s || t == u"днем"_s) return DayNight::Day;
  if (t == u"night"_s || t == u"ночью"_s) return DayNight::Night;
  return std::nullopt;
}

FlightTexts::FlightTexts() {
  for (const InputColumnInfo& c : InputColumns()) (*this)[c.column] = DefaultText(c.column);
}

FlightInput ToFlightInput(const FlightTexts& texts, DayNight dayNight) {
  FlightInput input;
  for (const InputColumnInfo& c : InputColumns()) {
    if (c.member) input.*c.member = texts[c.column];
  }
  input.cboTyp = TypeEntry(input.cboTyp).value_or(input.cboTyp);
  input.dayNight = dayNight;
  return input;
}

QString WarningText(const InputWarning& warning, InputNaming naming) {
  const std::array<std::pair<Field, InputColumn>, 11> fields = {{
      {Field::Typ, InputColumn::Type},
      {Field::TpolChas, InputColumn::Hours},
      {Field::TpolMin, InputColumn::Minutes},
      {Field::Bal, InputColumn::Clouds},
      {Field::Hn, InputColumn::Base},
      {Field::Hv, InputColumn::Top},
      {Field::VidKm, InputColumn::VisKm},
      {Field::VidSm, InputColumn::VisHm},
      {Field::ShtorkaZ, InputColumn::HoodClose},
      {Field::ShtorkaO, InputColumn::HoodOpen},
      {Field::Hpol, InputColumn::Height},
  }};
  const auto it = std::find_if(fields.begin(), fields.end(),
                               [&](const auto& f) { return f.first == warning.field; });
  if (it == fields.end()) return warning.message;
  const auto& all = InputColumns();
  const auto c = std::find_if(all.begin(), all.end(), [&](const InputColumnInfo& info) {
    return info.column == it->second;
  });
  const QString name = naming == InputNaming::Option ? u"--"_s + OptionOf(c->column).name : c->name;
  return name + u": "_s + warning.message;
}

QString NamedMessage(const CalcError& error, bool asOption) {
  const auto& all = InputColumns();
  const auto it = std::find_if(all.begin(), all.end(),
                               [&](const InputColumnInfo& c) { return c.field == error.field(); });
  if (error.field() == Field::None || it == all.end()) return error.message();
  const QString name =
      asOption ? (it->column == InputColumn::DayNight ? u"--day/--night"_s
                                                      : u"--"_s + OptionOf(it->column).name)
               : it->name;
  const QString caption = FieldCaption(error.field());
  if (!caption.isEmpty() && error.message().startsWith(caption + u": "_s)) {
    return u"%1 (%2)%3"_s.arg(name, caption, error.message().mid(caption.size()));
  }
  return name + u": "_s + error.message();
}

}  // namespace meltor::cli
