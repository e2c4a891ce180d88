#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>
#include <variant>

#include "model/field_rules.h"
#include "model/fields.h"

// The rows of the table of fields (model/fields.h), visible at compile time: the model
// file, new blocks and the mirrored globals walk them member by member with the
// member of each row a constant, as fast as the hand-written lists they replace.
namespace trevolan::table {

using S = Sim;
using B = TBlock;
using E = FieldEffect;

// In the order of the model file's block line, then the data line; the file walks
// them by `file_column`.
inline constexpr BlockField kBlockFields[] = {
    {.name = "Type", .member = &B::Type, .file_column = 0, .file_name = "@Type", .dialog = "type",
     .rule = rules::BlockTypeLetter},
    {.name = "ID", .member = &B::ID, .addressable = false, .file_column = 1, .file_name = "ID#", .dialog = "id"},
    {.name = "Name", .member = &B::Name, .max_length = kMaxNameLength, .file_column = 2, .dialog = "name",
     .rule = rules::BlockName},
    {.name = "XX", .member = &B::XX, .file_column = 3, .dialog = "x"},
    {.name = "YY", .member = &B::YY, .file_column = 4, .dialog = "y"},
    {.name = "OnOff", .member = &B::OnOff, .file_column = 5, .dialog = "onoff"},
    {.name = "Displ", .member = &B::Displ, .file_column = 6, .dialog = "display"},
    {.name = "State", .member = &B::State, .file_column = 7, .dialog = "mode", .rule = rules::TypeState},
    {.name = "An", .member = &B::An, .file_column = 8, .dialog = "an", .rule = rules::Connection},
    {.name = "Bn", .member = &B::Bn, .file_column = 9, .dialog = "bn", .rule = rules::Connection},
    {.name = "Cn", .member = &B::Cn, .file_column = 10, .dialog = "cn", .rule = rules::Connection},
    {.name = "Dn", .member = &B::Dn, .file_column = 11, .dialog = "dn", .rule = rules::Connection},
    {.name = "Pn", .member = &B::Pn, .file_column = 12, .dialog = "pn", .rule = rules::Connection},
    {.name = "aa", .member = &B::aa, .file_column = 14, .dialog = "aa", .rule = rules::FiniteNumber},
    {.name = "bb", .member = &B::bb, .file_column = 15, .dialog = "bb", .rule = rules::FiniteNumber},
    {.name = "cc", .member = &B::cc, .file_column = 16, .dialog = "cc", .rule = rules::FiniteNumber},
    {.name = "dd", .member = &B::dd, .file_column = 17, .dialog = "dd", .rule = rules::FiniteNumber},
    {.name = "pp", .member = &B::pp, .file_column = 18, .dialog = "pp", .rule = rules::FiniteNumber},
    {.name = "Value", .member = &B::Value, .file_column = 19, .dialog = "value", .rule = rules::FiniteNumber},
    {.name = "Comment", .member = &B::Comment, .max_length = kMaxCommentLength, .file_column = 20,
     .dialog = "comment", .rule = rules::BlockComment},
    // Its length in the block line's column 13, its entries on the data line after it.
    {.name = "stored", .member = &B::stored, .file_column = 13, .file_name = "#stored", .rule = rules::StoredList,
     .effect = E::kChannels},
};

inline constexpr E kTiming = E::kTiming;
inline constexpr E kNumbers = E::kNumberDisplay;

// Every global a user can address or an edit can change. The timing globals are
// changed by the timing dialog, so every face applies them with its rules; the plot
// and number globals by the block dialog of the Graphs block and the number dialog.
// Blocks 2..17 mirror the first sixteen and take their names, and `initial` is the
// one default of a global and its block: the Sim starts by loading the globals from
// the system blocks.
inline constexpr GlobalField kGlobalFields[] = {
    {.name = "Time", .member = &S::Time, .edit = true, .dialog = "current", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 2, .initial = 0, .run_sets = true},
    {.name = "Delt", .member = &S::Delt, .edit = true, .dialog = "delt", .rule = rules::TimeStep, .effect = kTiming,
     .mirror_block = 3, .initial = 1},
    {.name = "Start", .member = &S::Start, .edit = true, .dialog = "start", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 4, .initial = 0},
    {.name = "FinTim", .member = &S::FinTim, .edit = true, .dialog = "finish", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 5, .initial = 1000},
    {.name = "GrDel", .member = &S::GrDel, .edit = true, .dialog = "graph", .rule = rules::TimeStep,
     .effect = kTiming, .mirror_block = 6, .initial = 10},
    {.name = "GrNext", .member = &S::GrNext, .edit = true, .dialog = "graphnext", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 7, .initial = 10, .run_sets = true},
    {.name = "Holdstep", .member = &S::Holdstep, .edit = true, .dialog = "hold", .rule = rules::TimeStep,
     .effect = kTiming, .mirror_block = 8, .initial = 100},
    {.name = "Holdnext", .member = &S::Holdnext, .edit = true, .dialog = "holdnext", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 9, .initial = 100, .run_sets = true},
    {.name = "ScaleOrgn", .member = &S::ScaleOrgn, .edit = true, .dialog = "origin", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 10, .initial = 0},
    {.name = "ScaleFactr", .member = &S::ScaleFactr, .edit = true, .dialog = "factor", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 11, .initial = 1},
    {.name = "ColourMin", .member = &S::ColourMin, .edit = true, .dialog = "min", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 12, .initial = 0},
    {.name = "ColourMax", .member = &S::ColourMax, .edit = true, .dialog = "max", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 13, .initial = 100},
    {.name = "GrMinT", .member = &S::GrMinT, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 14, .initial = 0},
    {.name = "GrMaxT", .member = &S::GrMaxT, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 15, .initial = 1000},
    {.name = "GrMinY", .member = &S::GrMinY, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 16, .initial = 0},
    {.name = "GrMaxY", .member = &S::GrMaxY, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 17, .initial = 100},
    {.name = "TimeTol", .member = &S::TimeTol, .edit = true, .derived = true},
    {.name = "RepCount", .member = &S::RepCount, .edit = true, .dialog = "trigger", .rule = rules::TriggerBlock,
     .effect = kTiming, .mirror_block = kRepCountBlock, .mirror_field = &B::Dn},
    {.name = "VertIntv", .member = &S::VertIntv, .addressable = false, .edit = true, .mirror_block = kGraphsBlock,
     .mirror_field = &B::Value, .initial = 10},
    {.name = "HorizIntv", .member = &S::HorizIntv, .addressable = false, .edit = true, .mirror_block = kGraphsBlock,
     .mirror_field = &B::pp, .initial = 10},
    {.name = "HighestBlock", .member = &S::HighestBlock, .edit = true, .dialog = "highest", .rule = rules::BlockID},
    {.name = "TapeChannels", .member = &S::TapeChannels, .edit = true, .rule = rules::ChannelCount},
    {.name = "TapeChannelIDs", .member = &S::TapeChannelIDs, .addressable = false, .edit = true},
    {.name = "NumberMode", .member = &S::NumberMode, .rule = rules::NumberMode},
    {.name = "PickedBlock", .member = &S::PickedBlock, .rule = rules::BlockID},
    {.name = "LastX", .member = &S::LastX},
    {.name = "LastY", .member = &S::LastY},
    {.name = "TapeIndex", .member = &S::TapeIndex, .rule = rules::TapeRow, .run_sets = true},
    {.name = "HoldFlag", .member = &S::HoldFlag, .run_sets = true},
    {.name = "RunBusy", .member = &S::RunBusy, .run_sets = true},
    {.name = "AnimFlag", .member = &S::AnimFlag},
    {.name = "GridFlag", .member = &S::GridFlag},
    {.name = "PlotFlag", .member = &S::PlotFlag},
    {.name = "DataFileName", .member = &S::DataFileName},
    {.name = "SaveFileName", .member = &S::SaveFileName},
    {.name = "TapeFileName", .member = &S::TapeFileName},
};

// The kind a member holds: int32_t for int32_t TBlock::*.
template <typename M>
struct MemberOf;
template <typename T, typename C>
struct MemberOf<T C::*> {
  using Kind = T;
};
template <typename M>
using KindOfMember = typename MemberOf<std::remove_cv_t<M>>::Kind;

// A field added to TBlock needs a row above: every copy, comparison and target walks
// the table, so a field missing from it would be silently lost by undo. The rows'
// members, each taking at least the four bytes of an int32 (the type letter does),
// add up to the size of a block.
constexpr size_t BytesOfRows() {
  size_t bytes = 0;
  for (const BlockField& f : kBlockFields) {
    bytes += std::visit([](auto m) { return std::max(sizeof(int32_t), sizeof(KindOfMember<decltype(m)>)); }, f.member);
  }
  return (bytes + alignof(TBlock) - 1) / alignof(TBlock) * alignof(TBlock);
}
static_assert(BytesOfRows() == sizeof(TBlock), "a field of TBlock has no row in the table");

// A row's member as a constant of its own kind (int32_t TBlock::*, double Sim::*, ...),
// so that a walk reads and writes it directly instead of visiting a variant.
template <size_t Row>
inline constexpr auto kBlockMember = std::get<kBlockFields[Row].member.index()>(kBlockFields[Row].member);
template <size_t Row>
inline constexpr auto kGlobalMember = std::get<kGlobalFields[Row].member.index()>(kGlobalFields[Row].member);
// The field of its system block that a global mirrors.
template <size_t Row>
inline constexpr auto kMirrorMember =
    std::get<kGlobalFields[Row].mirror_field.index()>(kGlobalFields[Row].mirror_field);
// What each of them holds: int32_t, double, std::string, ...
template <size_t Row>
using BlockKind = KindOfMember<decltype(kBlockMember<Row>)>;
template <size_t Row>
using GlobalKind = KindOfMember<decltype(kGlobalMember<Row>)>;
template <size_t Row>
using MirrorKind = KindOfMember<decltype(kMirrorMember<Row>)>;

// How many rows of a table `keep` takes.
template <typename Row, size_t N, typename Keep>
constexpr size_t CountRows(const Row (&rows)[N], Keep keep) {
  return static_cast<size_t>(std::count_if(rows, rows + N, keep));
}

// The indices of the Count rows that `keep` takes, ordered by `before` (rows that
// neither comes before stay in the table's order).
template <size_t Count, typename Row, size_t N, typename Keep, typename Before>
constexpr std::array<size_t, Count> SelectRows(const Row (&rows)[N], Keep keep, Before before) {
  std::array<size_t, Count> picked{};
  size_t n = 0;
  for (size_t i = 0; i < N; ++i) {
    if (keep(rows[i])) picked[n++] = i;
  }
  for (size_t i = 1; i < Count; ++i) {  // insertion: stable, and usable at compile time
    for (size_t j = i; j > 0 && before(rows[picked[j]], rows[picked[j - 1]]); --j) std::swap(picked[j], picked[j - 1]);
  }
  return picked;
}

// Calls f(std::integral_constant<size_t, row>{}) for each row index of `Rows`, in order,
// as long as f returns true; false when one returned false.
template <const auto& Rows, typename F>
constexpr bool ForRowsWhile(F&& f) {
  return [&]<size_t... I>(std::index_sequence<I...>) {
    return (f(std::integral_constant<size_t, Rows[I]>{}) && ...);
  }(std::make_index_sequence<Rows.size()>{});
}

// The same for every row.
template <const auto& Rows, typename F>
constexpr void ForRows(F&& f) {
  [&]<size_t... I>(std::index_sequence<I...>) {
    (f(std::integral_constant<size_t, Rows[I]>{}), ...);
  }(std::make_index_sequence<Rows.size()>{});
}

}  // namespace trevolan::table
