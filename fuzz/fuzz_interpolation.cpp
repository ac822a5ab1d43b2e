// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Feeds tables of arbitrary shape and values, and arbitrary keys, to the interpolation.
#include "interpolation.h"
#include "tables_file.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace meltor;

namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  Int16 Short() { return static_cast<Int16>(Byte() | (Byte() << 8)); }
  Cell Value() {
    const std::uint8_t kind = Byte();
    if (kind % 8 == 0) return std::nullopt;
    if (kind % 8 == 1 && pos_ + 8 <= size_) {
      double d;
      std::memcpy(&d, data_ + pos_, 8);
      pos_ += 8;
      return d;
    }
    return static_cast<double>(Short()) + (kind % 8 == 2 ? 0.5 : 0.0);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const bool grid = in.Byte() & 1;
  const int fields = 1 + in.Byte() % 26;
  const int records = in.Byte() % 40;
  const Int16 k1 = in.Short();
  const Int16 k2 = in.Short();
  Table t;
  t.name = QStringLiteral("Z_Time_Fuzz");
  t.fieldCount = fields;
  for (int r = 0; r < records; ++r) {
    std::vector<Cell> row;
    for (int f = 0; f < fields; ++f) row.push_back(in.Value());
    t.rows.push_back(std::move(row));
  }
  try {
    // Lookups only ever see tables that passed the check, as in the program.
    CheckTable(t, grid ? TableKind::Grid : TableKind::Climb);
    if (grid) {
      InterpolateGrid(t, k1, k2);
    } else {
      InterpolateOneKey(t, k1, Field::Hn);
    }
  } catch (const CalcError& e) {
    if (e.message().isEmpty()) std::abort();
  }
  return 0;
}
