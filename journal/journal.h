// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal of flights: every calculated flight the pilot saves, kept in one SQLite file, and
// the period totals the logbook asks for. The command line and the window both work through this
// header; neither touches the file any other way.
//
// In short, a flight calculated and saved (the window's «Записать в журнал…», journal add):
//
//   const auto sha = FileSha256(tablesPath);
//   const auto entry = MakeEntry(date, board, remark, input, outcome, *sha);   // check each
//   const auto journal = Journal::Open(path, Journal::Access::Write);
//   const auto number = (*journal)->Add(*entry);
//
// and an import: `auto import = (*journal)->BeginImport();`, then `(*import)->Add(entry)` for each
// row, then `(*import)->Commit()` — or let `import` go to save nothing.
//
// Error convention. Nothing here throws. Every operation that can fail returns a Result<T>: either
// its value or a JournalError, whose message is complete Russian text for the user that names the
// journal file (or the input at fault) and says whether the journal was changed ("…; журнал не
// изменён"). The kind lets a caller choose an exit status or offer the right next step without
// reading the text. A failed change never leaves a part of itself in the file. ParseDate alone
// gives a fragment («дата «…» не читается: …»), for the caller to put after the row or option the
// date came from.
//
// Keeping flights safe:
// - Every change is one SQLite transaction (BEGIN IMMEDIATE … COMMIT) with PRAGMA synchronous=FULL
//   in the rollback-journal mode (DELETE): when the program is killed or the disk fills, SQLite
//   rolls the unfinished change back and the file holds every change committed before it. An
//   import is one transaction for the whole set.
// - A journal another program is writing is waited for (Options::busyMilliseconds, 10 s unless
//   told otherwise); after the wait the operation gives up with Kind::Busy and changes nothing.
// - A file that is not SQLite, is cut short, has damaged pages, or is a SQLite file of another
//   program is refused with a message naming it (Kind::NotAJournal, Kind::Damaged). Such a file is
//   never written, "repaired" or replaced: opening it for writing checks its pages first
//   (PRAGMA quick_check) and refuses on any fault.
// - Reading never changes the file and leaves nothing beside it, so a journal in a read-only
//   folder or on a read-only medium can be read. (The one exception is SQLite's own: a journal
//   left by a writer that was killed is rolled back by the next opening that may write the file,
//   which restores the last committed state.)
// - A journal that can be read but not written (a read-only file, folder or medium, or a newer
//   program's) is read, and says plainly why it cannot be written (Journal::writeProblem()).
// - A folder, FIFO, device or socket given as the journal is refused at once.

#include "calculation.h"
#include "flight.h"
#include "journal_schema.h"
#include "results.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace meltor::journal {

// ---------------------------------------------------------------------------------------------
// Results and errors

struct JournalError {
  enum class Kind {
    BadInput,      // a value given to the journal is not acceptable (a date, a number, a text)
    BadPath,       // no path, or a folder, FIFO, device or socket instead of a file
    NotAJournal,   // not a SQLite file, or a SQLite file of another program
    Damaged,       // a journal file that is cut short or has damaged pages
    NewerVersion,  // written by a newer program: readable, not writable by this one
    ReadOnly,      // no right to write the file or its folder, or opened for reading
    Busy,          // another program holds the file longer than the wait
    DiskFull,      // no room on the disk, a quota or the file size limit
    NotFound,      // no entry with that number
    Io,            // the system could not read or write the file
    Failed,        // anything else SQLite reports
  };
  Kind kind = Kind::Failed;
  QString message;
};

// A value or the error that prevented it. Result<> carries no value.
template <typename T = std::monostate>
class [[nodiscard]] Result {
 public:
  Result() requires std::is_same_v<T, std::monostate>
  = default;
  Result(T value) : v_(std::move(value)) {}  // NOLINT: implicit, as std::expected
  Result(JournalError error) : v_(std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // Valid only when ok().
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // Valid only when !ok().
  const JournalError& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, JournalError> v_;
};

// ---------------------------------------------------------------------------------------------
// One entry

// The five categories in minutes, in result order (ResultLabel): zak_kab, obl, za_obl, ogr_vid,
// smu. Per flight they come from LogbookMinutes (core/results.h), as batch -M writes them.
using Minutes = std::array<qint64, kResultCount>;

// One saved flight.
struct Entry {
  qint64 number = 0;       // the entry's number in its journal; 0 until it is saved
  QDate date;              // the day of the flight
  QString board;           // the aircraft's board number, may be empty
  QString remark;          // may be empty
  FlightInput input;       // the twelve inputs exactly as typed (the type is input.cboTyp)
  ResultTexts results;     // the five result texts as the calculation showed them
  Minutes minutes{};       // the five results in minutes, 0 for "-" and "ПМУ"
  QString caseText;        // the classification case as shown ("3c")
  QStringList warnings;    // the calculation's warnings about text left unread in a field
  QString tablesSha256;    // SHA-256 of the tables file used, 64 hex digits in lower case
  QString programVersion;  // the version of the program that calculated it (MELTOR_VERSION_TEXT)
  QDateTime savedAt;       // when it was last saved, UTC; set by the journal
};

// The longest board number and remark an entry takes, in characters.
inline constexpr int kMaxBoardLength = 50;
inline constexpr int kMaxRemarkLength = 1000;

// The entry for a calculated flight: the inputs, results, minutes, case and warnings of
// `outcome`, with this program's version. Fails (Kind::BadInput) when the calculation failed,
// the date is not valid, the board number or remark is too long, or `tablesSha256` is not a
// SHA-256 (FileSha256 gives it).
Result<Entry> MakeEntry(const QDate& date, const QString& board, const QString& remark,
                        const FlightInput& input, const CalcOutcome& outcome,
                        const QString& tablesSha256);

// The classification case of a calculation as the journal keeps it ("1a" … "3f"); empty for a
// calculation that stopped before it was classified.
QString CaseText(const CalcOutcome& outcome);

// The SHA-256 of a file's bytes in lower-case hex, read in chunks (a tables file of any size
// needs little memory). Fails with a message naming the file when it cannot be read or is not a
// regular file.
Result<QString> FileSha256(const QString& path);

// Minutes as hours and minutes for the totals: 125 → "2:05", 0 → "0:00", −5 → "-0:05".
QString HoursMinutes(qint64 minutes);

// A date as the journal stores and writes it: "2024-03-07".
QString DateText(const QDate& date);

// The date of a text: "2024-03-07" (ISO) or "07.03.2024" (as a Russian spreadsheet writes it; the
// day and month may have one digit), blanks around it aside. Fails (Kind::BadInput) with a Russian
// message that quotes the text: one in neither form, or a day that does not exist (2023-02-29).
Result<QDate> ParseDate(const QString& text);

// The day/night input as the batch's day_night column spells it: "day", "night", or empty.
QString DayNightText(DayNight dayNight);

// The same as a list of flights shows it: "днём", "ночью", or empty.
QString DayNightWords(DayNight dayNight);

// ---------------------------------------------------------------------------------------------
// Lists and totals

// Which entries a list, count or total takes. A null date leaves that end open; both ends are
// inclusive. An empty type takes every type; otherwise the type must equal the entry's type text
// exactly (input.cboTyp, as the window's list writes it: "Л-39").
struct Filter {
  QDate from;
  QDate to;
  QString type;
};

// How totals are grouped. The keys of the groups (TotalsGroup::key) and their order:
//   None      one group, key empty
//   Month     "2024-03", by date
//   Quarter   "2024-Q1", by date
//   Half      "2024-H1", by date
//   Year      "2024", by date
//   Type      the type text ("Л-39"), in the order of the text
//   DayNight  "day", "night", then "" for flights saved without the choice
// Only groups that hold flights are listed; with no flight at all, no group (not even for None).
enum class Grouping { None, Month, Quarter, Half, Year, Type, DayNight };

// A group key as the window and the printout show it: "март 2024", "I квартал 2024", "I полугодие
// 2024", "2024 год", the type itself, "днём", "ночью", "день/ночь не указаны"; "все полёты" for
// Grouping::None.
QString GroupLabel(Grouping grouping, const QString& key);

// A number of flights and the sums of their minutes.
struct Sums {
  qint64 flights = 0;
  Minutes minutes{};
};

struct TotalsGroup {
  QString key;
  Sums sums;
};

// The opening balance: what the paper logbook held before the journal, per item, each as of its
// own date (what the book had at the end of that day).
enum class BalanceItem { Flights, ZakKab, Obl, ZaObl, OgrVid, Smu };
inline constexpr int kBalanceItemCount = 6;

struct BalanceValue {
  qint64 amount = 0;  // flights, or minutes for the five categories; never negative
  QDate asOf;
};

struct OpeningBalance {
  // Indexed by BalanceItem; an item without a value was never given.
  std::array<std::optional<BalanceValue>, kBalanceItemCount> items;

  std::optional<BalanceValue>& operator[](BalanceItem i) { return items[static_cast<int>(i)]; }
  const std::optional<BalanceValue>& operator[](BalanceItem i) const {
    return items[static_cast<int>(i)];
  }
  bool empty() const;
};

// The totals of a filter. The sums are those of the minutes saved with each flight (never worked
// out again from the H.MM texts), added up by SQLite.
//
// The opening balance counts in the grand total as if it were one entry dated on its as-of date:
// an item counts when the filter takes no type and its as-of date lies within the period (an open
// end takes every date). So the totals of the whole journal, or of any period up to a date, are
// "since the opening balance"; the totals of a month or a year after the as-of date are that
// period's alone, as the logbook's monthly and yearly lines are; and the totals of one type leave
// the balance out, since the paper book's figures are not split by type. Each item counts on its
// own, as its as-of date says.
struct Totals {
  Grouping grouping = Grouping::None;
  std::vector<TotalsGroup> groups;  // see Grouping
  Sums flights;                     // every flight the filter takes: the sum of the groups
  OpeningBalance balance;           // as kept, counted or not
  std::array<bool, kBalanceItemCount> balanceCounted{};  // which items count in `grand`
  Sums grand;  // «всего»: `flights` plus the balance items that count
};

// What an import did.
struct ImportCounts {
  qint64 added = 0;
  qint64 duplicates = 0;  // entries not added because the journal already held them
};

// ---------------------------------------------------------------------------------------------
// The journal file

inline constexpr char kJournalFileName[] = "journal.sqlite";
// The schema this program writes (PRAGMA user_version) and the mark of a journal file (PRAGMA
// application_id, "MLTJ").
inline constexpr int kSchemaVersion = 1;
inline constexpr int kApplicationId = 0x4D4C544A;
inline constexpr int kDefaultBusyMilliseconds = 10'000;

// The journal the programs use unless told otherwise: journal.sqlite in the window's data folder,
// the AppDataLocation of the application «Meltor» (~/.local/share/Meltor on Linux). It is worked
// out from the generic data folder, so meltor-cli, whose application name is its file name, finds
// the same file. Nothing is made here: the folder is made when the first flight is written. Empty
// when the system names no data folder.
QString DefaultJournalPath();

class Import;

class Journal {
 public:
  enum class Access {
    Read,   // nothing is ever written; a file that cannot be written is read all the same
    Write,  // refused unless the file can be written and is a sound journal of this version
  };

  struct Options {
    // How long an operation waits for a journal another program is writing.
    int busyMilliseconds = kDefaultBusyMilliseconds;
    // The steps that bring an older schema forward; empty for the program's own (schema steps are
    // given by the tests of the migration framework; they must outlive the Journal). Their count
    // plus one is the version written.
    std::span<const SchemaStep> steps;
  };

  // Opens the journal at `path` (symbolic links followed).
  //
  // A file that does not exist yet is an empty journal: reading it gives no entries and no
  // balance, and with Access::Write the first change makes the folders and the file. An empty
  // file, or an empty SQLite database, is taken the same way.
  //
  // With Access::Read the file is only read. A journal written by a newer program is read as long
  // as the columns this program reads are there (its newer columns are passed over); writeProblem()
  // then says why it cannot be written, as it does for a file or folder without the right to
  // write.
  //
  // With Access::Write the opening fails (the file left as it was) when the file cannot be
  // written (Kind::ReadOnly), was written by a newer program (Kind::NewerVersion), or has damaged
  // pages (Kind::Damaged, by PRAGMA quick_check). A journal of an older schema is brought forward
  // here: first a consistent copy of it is kept beside it ("journal.sqlite.v1.bak" for a journal of
  // version 1), then every step runs in one transaction; when a step fails, the journal stays as
  // it was.
  //
  // Both refuse a folder, FIFO, device or socket (Kind::BadPath), a link to nothing (a stick that
  // is not mounted), a file that is not a journal (Kind::NotAJournal) and one cut short or
  // unreadable (Kind::Damaged).
  //
  // A Journal may stay open as long as a window is: it holds no lock between operations, and every
  // operation first looks whether the file has been made meanwhile (by another program's first
  // flight) or replaced (put back from a copy) and then opens it again, so that nothing is read
  // from or written to a file no longer there. One Journal serves one thread at a time; another
  // thread or program opens its own. SQLite keeps up to 8 MB of the file in memory per Journal.
  static Result<std::unique_ptr<Journal>> Open(const QString& path, Access access,
                                               const Options& options);
  static Result<std::unique_ptr<Journal>> Open(const QString& path, Access access) {
    return Open(path, access, Options());
  }

  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // The path as given.
  const QString& path() const;
  // Whether the file exists (false: nothing has been saved yet).
  bool exists() const;
  // Why changes cannot be made, for a journal opened with Access::Read (a read-only file or
  // folder, a newer schema, or simply opened for reading); nullopt when opened for writing.
  const std::optional<JournalError>& writeProblem() const;

  // Saves a new entry; returns its number. Numbers grow and are never given again, not even the
  // number of a deleted entry. `entry.number` and `entry.savedAt` are ignored; the program version
  // and the other fields are saved as given. The date must be valid, the board number and
  // remark within their lengths.
  Result<qint64> Add(const Entry& entry);

  // Saves `entry` over entry `number`, which keeps its number (the window corrects a flight and
  // saves it again). Kind::NotFound when there is no such entry.
  Result<> Replace(qint64 number, const Entry& entry);

  // Deletes entry `number`. Kind::NotFound when there is no such entry.
  Result<> Delete(qint64 number);

  // Entry `number`. Kind::NotFound when there is none.
  Result<Entry> Get(qint64 number);

  // Calls `visit` for every entry the filter takes, by date and, within a day, by number; stops
  // early when `visit` returns false. The entries are read one at a time, so the memory taken does
  // not grow with the number of flights. The file is held for reading until the call returns (a
  // writer waits), so keep `visit` short: collect what is needed and work on it afterwards.
  // Returns the number of entries visited.
  Result<qint64> ForEach(const Filter& filter, const std::function<bool(const Entry&)>& visit);

  // The number of entries the filter takes.
  Result<qint64> Count(const Filter& filter);

  // The totals of the entries the filter takes, grouped; see Totals for the opening balance.
  Result<Totals> Total(const Filter& filter, Grouping grouping);

  // The opening balance as kept (no items when it was never set).
  Result<OpeningBalance> Balance();
  // Replaces the whole opening balance: the items without a value are removed. Each amount must be
  // 0 or more and each as-of date valid (Kind::BadInput).
  Result<> SetBalance(const OpeningBalance& balance);

  // Starts an import: entries added through it are saved all together by Import::Commit(), or
  // none of them. While it is open this journal's other operations fail; another program waits
  // until it ends (or gives up after its own wait).
  Result<std::unique_ptr<Import>> BeginImport();

  // Writes a consistent copy of the journal to `target` with SQLite's backup API, while other
  // programs may be using it: the copy is made under a temporary name beside `target`, synced and
  // renamed over it (files::FileWriter), so a failure leaves `target` as it was. The copy is
  // itself a journal that Open reads. Refuses the journal itself as the target, and a journal not
  // yet made.
  Result<> Backup(const QString& target);

  struct State;  // the open file, inside the journal room

 private:
  friend class Import;
  explicit Journal(std::unique_ptr<State> state);
  std::unique_ptr<State> s_;
};

// An import in progress: one transaction for every entry added through it. Destroying it without
// Commit() rolls everything back, as does a failure of Add() or Commit(). It must end before the
// Journal it came from.
//
// Duplicates: an entry with the same date and the same twelve inputs as an entry the journal held
// before the import is not added again. Flights alike on one day are each kept: when the journal
// held two such entries and the import brings three, the first two count as duplicates and the
// third is added, so importing the same file twice adds nothing the second time.
class Import {
 public:
  ~Import();
  Import(const Import&) = delete;
  Import& operator=(const Import&) = delete;

  // Adds one entry (see Journal::Add for what is checked): true when it was added, false when it
  // was a duplicate. After a failure the import is over: every later call fails and nothing is
  // saved.
  Result<bool> Add(const Entry& entry);
  // Saves everything added. After a failure nothing is saved.
  Result<ImportCounts> Commit();

  const ImportCounts& counts() const { return counts_; }

 private:
  friend class Journal;
  struct State;
  explicit Import(std::unique_ptr<State> state);
  std::unique_ptr<State> s_;
  ImportCounts counts_;
};

}  // namespace meltor::journal
