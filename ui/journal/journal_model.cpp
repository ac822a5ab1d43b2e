// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_model.h"

#include "journal_period.h"
#include "results.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

using journal::RowKey;

constexpr std::array<RowKey, JournalModel::kColumnCount> kKeys = {
    RowKey::Number,     RowKey::Date,     RowKey::Type,   RowKey::Board,
    RowKey::FlightTime, RowKey::DayNight, RowKey::ZakKab, RowKey::Obl,
    RowKey::ZaObl,      RowKey::OgrVid,   RowKey::Smu,    RowKey::Remark};

}  // namespace

QString FlightTimeText(const QString& hours, const QString& minutes) {
  bool hoursOk = false;
  bool minutesOk = false;
  const int h = hours.trimmed().toInt(&hoursOk);
  const int m = minutes.trimmed().toInt(&minutesOk);
  if (hoursOk && minutesOk && h >= 0 && m >= 0) {
    return journal::HoursMinutes(static_cast<qint64>(h) * 60 + m);
  }
  return u"%1 ч %2 мин"_s.arg(hours, minutes);
}

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

std::optional<journal::JournalError> JournalModel::Load(journal::RowReader& rows,
                                                        const journal::Filter& filter) {
  rows_ = &rows;
  filter_ = filter;
  return Reload();
}

std::optional<journal::JournalError> JournalModel::Reload() {
  beginResetModel();
  blocks_.clear();
  recent_.clear();
  linesRead_ = 0;
  failed_ = false;
  numbers_.clear();
  std::optional<journal::JournalError> error;
  if (rows_) {
    auto numbers = rows_->Numbers(filter_, key_, descending_);
    if (numbers) {
      numbers_ = std::move(*numbers);
    } else {
      error = numbers.error();
    }
  }
  endResetModel();
  return error;
}

void JournalModel::Clear() {
  rows_ = nullptr;
  Reload();
}

qint64 JournalModel::NumberAt(int row) const {
  return row >= 0 && row < static_cast<int>(numbers_.size()) ? numbers_[row] : 0;
}

int JournalModel::RowOf(qint64 number) const {
  const auto at = std::find(numbers_.begin(), numbers_.end(), number);
  return at == numbers_.end() ? -1 : static_cast<int>(at - numbers_.begin());
}

int JournalModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(numbers_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

const journal::Row* JournalModel::RowAt(int row) const {
  if (row < 0 || row >= static_cast<int>(numbers_.size()) || !rows_) return nullptr;
  const int block = row / kBlockRows;
  auto found = blocks_.find(block);
  if (found == blocks_.end()) {
    const std::size_t first = static_cast<std::size_t>(block) * kBlockRows;
    const std::size_t count = std::min<std::size_t>(kBlockRows, numbers_.size() - first);
    auto read = rows_->Read(std::span<const qint64>(numbers_.data() + first, count));
    if (!read) {
      if (!failed_) {
        failed_ = true;
        emit readFailed(read.error().message);
      }
      return nullptr;
    }
    linesRead_ += static_cast<qint64>(count);
    if (static_cast<int>(recent_.size()) >= kBlocksKept) {
      blocks_.erase(recent_.back());
      recent_.pop_back();
    }
    found = blocks_.emplace(block, std::move(*read)).first;
    recent_.push_front(block);
  } else if (recent_.front() != block) {
    recent_.remove(block);
    recent_.push_front(block);
  }
  const journal::Row& line = found->second[static_cast<std::size_t>(row % kBlockRows)];
  return line.number ? &line : nullptr;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(column == kType || column == kBoard || column == kRemark
                                   ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)
                                   : Qt::Alignment(Qt::AlignCenter));
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (role == Qt::DisplayRole && column == kNumber) return QString::number(NumberAt(index.row()));
  const journal::Row* line = RowAt(index.row());
  if (!line) return role == Qt::DisplayRole ? QVariant(u"—"_s) : QVariant();
  if (role == Qt::ToolTipRole) {
    if (column == kRemark && !line->remark.isEmpty()) return line->remark;
    if (line->warned) {
      return u"При расчёте этого полёта были предупреждения; откройте его в окне расчёта, "
             u"чтобы их прочесть."_s;
    }
    return {};
  }
  switch (column) {
    case kDate:
      return ShownDate(line->date);
    case kType:
      return line->type;
    case kBoard:
      return line->board;
    case kFlightTime:
      return FlightTimeText(line->hours, line->minutes);
    case kDayNight:
      return journal::DayNightWords(line->dayNight);
    case kZakKab:
    case kObl:
    case kZaObl:
    case kOgrVid:
    case kSmu:
      return line->results.text[column - kZakKab];
    case kRemark:
      return line->remark;
    default:
      break;
  }
  return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (section >= kZakKab && section <= kSmu) return ResultHeadings()[section - kZakKab];
  static const std::array<QString, kColumnCount> captions = {
      u"№"_s, u"Дата"_s, u"Тип"_s, u"Борт"_s, u"Время полёта"_s, u"День/ночь"_s, {},
      {},     {},        {},       {},        u"Примечание"_s};
  if (role == Qt::ToolTipRole && section == kNumber) return u"Номер записи в журнале"_s;
  return captions[section];
}

void JournalModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kColumnCount) return;
  key_ = kKeys[column];
  descending_ = order == Qt::DescendingOrder;
  if (auto error = Reload()) emit readFailed(error->message);
}

}  // namespace meltor
