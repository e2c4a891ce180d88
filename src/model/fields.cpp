#include "model/fields.h"

#include <algorithm>
#include <bit>

namespace trevolan {

namespace {

using S = Sim;
using B = TBlock;

// In the order of the model file's block line, then the data line.
constexpr BlockField kBlockFields[] = {
    {"Type", &B::Type, true, 0, 0},          {"ID", &B::ID, false, 0, 1},
    {"Name", &B::Name, true, kMaxNameLength, 2},
    {"XX", &B::XX, true, 0, 3},              {"YY", &B::YY, true, 0, 4},
    {"OnOff", &B::OnOff, true, 0, 5},        {"Displ", &B::Displ, true, 0, 6},
    {"State", &B::State, true, 0, 7},        {"An", &B::An, true, 0, 8},
    {"Bn", &B::Bn, true, 0, 9},              {"Cn", &B::Cn, true, 0, 10},
    {"Dn", &B::Dn, true, 0, 11},             {"Pn", &B::Pn, true, 0, 12},
    {"aa", &B::aa, true, 0, 14},             {"bb", &B::bb, true, 0, 15},
    {"cc", &B::cc, true, 0, 16},             {"dd", &B::dd, true, 0, 17},
    {"pp", &B::pp, true, 0, 18},             {"Value", &B::Value, true, 0, 19},
    {"Comment", &B::Comment, true, kMaxCommentLength, 20},
    {"stored", &B::stored, true, 0, -1},
};
// A field added to TBlock needs a row above: every copy, comparison and target walks
// the table, so a field missing from it would be silently lost by undo.
static_assert(sizeof(TBlock) == 4 * 12 + 8 * 6 + 2 * sizeof(std::string) + sizeof(std::vector<double>));
static_assert(std::size(kBlockFields) == 21);

constexpr GlobalRule kTiming = GlobalRule::kTiming;
constexpr GlobalRule kNone = GlobalRule::kNone;

// Every global a user can address or an edit can change. The timing globals are
// changed by the timing dialog, so a study applies them with its rules; the plot and
// number globals by the block dialog of the Graphs block and the number dialog.
constexpr GlobalField kGlobalFields[] = {
    {"Time", &S::Time, true, true, kTiming},
    {"Delt", &S::Delt, true, true, kTiming},
    {"Start", &S::Start, true, true, kTiming},
    {"FinTim", &S::FinTim, true, true, kTiming},
    {"GrDel", &S::GrDel, true, true, kTiming},
    {"GrNext", &S::GrNext, true, true, kTiming},
    {"Holdstep", &S::Holdstep, true, true, kTiming},
    {"Holdnext", &S::Holdnext, true, true, kTiming},
    {"ScaleOrgn", &S::ScaleOrgn, true, true, kNone},
    {"ScaleFactr", &S::ScaleFactr, true, true, kNone},
    {"ColourMin", &S::ColourMin, true, true, kNone},
    {"ColourMax", &S::ColourMax, true, true, kNone},
    {"GrMinT", &S::GrMinT, true, true, kNone},
    {"GrMaxT", &S::GrMaxT, true, true, kNone},
    {"GrMinY", &S::GrMinY, true, true, kNone},
    {"GrMaxY", &S::GrMaxY, true, true, kNone},
    {"TimeTol", &S::TimeTol, true, true, kNone},
    {"RepCount", &S::RepCount, true, true, kTiming},
    {"VertIntv", &S::VertIntv, false, true, kNone},
    {"HorizIntv", &S::HorizIntv, false, true, kNone},
    {"HighestBlock", &S::HighestBlock, true, true, kNone},
    {"TapeChannels", &S::TapeChannels, true, true, kNone},
    {"TapeChannelIDs", &S::TapeChannelIDs, false, true, kNone},
    {"NumberMode", &S::NumberMode, true, false, kNone},
    {"PickedBlock", &S::PickedBlock, true, false, kNone},
    {"LastX", &S::LastX, true, false, kNone},
    {"LastY", &S::LastY, true, false, kNone},
    {"TapeIndex", &S::TapeIndex, true, false, kNone},
    {"HoldFlag", &S::HoldFlag, true, false, kNone},
    {"RunBusy", &S::RunBusy, true, false, kNone},
    {"AnimFlag", &S::AnimFlag, true, false, kNone},
    {"GridFlag", &S::GridFlag, true, false, kNone},
    {"PlotFlag", &S::PlotFlag, true, false, kNone},
    {"DataFileName", &S::DataFileName, true, false, kNone},
    {"SaveFileName", &S::SaveFileName, true, false, kNone},
    {"TapeFileName", &S::TapeFileName, true, false, kNone},
};

template <typename Table>
auto FindByName(const Table& table, std::string_view name) -> decltype(&table[0]) {
  const auto it = std::find_if(std::begin(table), std::end(table), [name](const auto& f) { return f.name == name; });
  return it == std::end(table) ? nullptr : &*it;
}

}  // namespace

std::span<const BlockField> BlockFields() { return kBlockFields; }

const BlockField* FindBlockField(std::string_view name) { return FindByName(kBlockFields, name); }

std::span<const GlobalField> GlobalFields() { return kGlobalFields; }

const GlobalField* FindGlobalField(std::string_view name) {
  const GlobalField* f = FindByName(kGlobalFields, name);
  return f && f->addressable ? f : nullptr;
}

bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

bool SameField(const std::vector<double>& a, const std::vector<double>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) { return SameBits(x, y); });
}

bool SameBlock(const TBlock& a, const TBlock& b) {
  bool same = true;
  ForEachBlockMember([&](auto member) { same = same && SameField(a.*member, b.*member); });
  return same;
}

}  // namespace trevolan
