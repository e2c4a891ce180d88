#include "model/fields.h"

#include <algorithm>
#include <bit>

namespace trevolan {

namespace {

using S = Sim;
using B = TBlock;

// In the order of the model file's block line, then the data line.
constexpr BlockField kBlockFields[] = {
    {"Type", &B::Type, true, 0, 0, "type"},
    {"ID", &B::ID, false, 0, 1, "id"},
    {"Name", &B::Name, true, kMaxNameLength, 2, "name"},
    {"XX", &B::XX, true, 0, 3, "x"},
    {"YY", &B::YY, true, 0, 4, "y"},
    {"OnOff", &B::OnOff, true, 0, 5, "onoff"},
    {"Displ", &B::Displ, true, 0, 6, "display"},
    {"State", &B::State, true, 0, 7, "mode"},
    {"An", &B::An, true, 0, 8, "an"},
    {"Bn", &B::Bn, true, 0, 9, "bn"},
    {"Cn", &B::Cn, true, 0, 10, "cn"},
    {"Dn", &B::Dn, true, 0, 11, "dn"},
    {"Pn", &B::Pn, true, 0, 12, "pn"},
    {"aa", &B::aa, true, 0, 14, "aa"},
    {"bb", &B::bb, true, 0, 15, "bb"},
    {"cc", &B::cc, true, 0, 16, "cc"},
    {"dd", &B::dd, true, 0, 17, "dd"},
    {"pp", &B::pp, true, 0, 18, "pp"},
    {"Value", &B::Value, true, 0, 19, "value"},
    {"Comment", &B::Comment, true, kMaxCommentLength, 20, "comment"},
    {"stored", &B::stored, true, 0, -1, nullptr},
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
    {"Time", &S::Time, true, true, kTiming, "current"},
    {"Delt", &S::Delt, true, true, kTiming, "delt"},
    {"Start", &S::Start, true, true, kTiming, "start"},
    {"FinTim", &S::FinTim, true, true, kTiming, "finish"},
    {"GrDel", &S::GrDel, true, true, kTiming, "graph"},
    {"GrNext", &S::GrNext, true, true, kTiming, "graphnext"},
    {"Holdstep", &S::Holdstep, true, true, kTiming, "hold"},
    {"Holdnext", &S::Holdnext, true, true, kTiming, "holdnext"},
    {"ScaleOrgn", &S::ScaleOrgn, true, true, kNone, "origin"},
    {"ScaleFactr", &S::ScaleFactr, true, true, kNone, "factor"},
    {"ColourMin", &S::ColourMin, true, true, kNone, "min"},
    {"ColourMax", &S::ColourMax, true, true, kNone, "max"},
    {"GrMinT", &S::GrMinT, true, true, kNone, nullptr},
    {"GrMaxT", &S::GrMaxT, true, true, kNone, nullptr},
    {"GrMinY", &S::GrMinY, true, true, kNone, nullptr},
    {"GrMaxY", &S::GrMaxY, true, true, kNone, nullptr},
    {"TimeTol", &S::TimeTol, true, true, kNone, nullptr},
    {"RepCount", &S::RepCount, true, true, kTiming, "trigger"},
    {"VertIntv", &S::VertIntv, false, true, kNone, nullptr},
    {"HorizIntv", &S::HorizIntv, false, true, kNone, nullptr},
    {"HighestBlock", &S::HighestBlock, true, true, kNone, "highest"},
    {"TapeChannels", &S::TapeChannels, true, true, kNone, nullptr},
    {"TapeChannelIDs", &S::TapeChannelIDs, false, true, kNone, nullptr},
    {"NumberMode", &S::NumberMode, true, false, kNone, nullptr},
    {"PickedBlock", &S::PickedBlock, true, false, kNone, nullptr},
    {"LastX", &S::LastX, true, false, kNone, nullptr},
    {"LastY", &S::LastY, true, false, kNone, nullptr},
    {"TapeIndex", &S::TapeIndex, true, false, kNone, nullptr},
    {"HoldFlag", &S::HoldFlag, true, false, kNone, nullptr},
    {"RunBusy", &S::RunBusy, true, false, kNone, nullptr},
    {"AnimFlag", &S::AnimFlag, true, false, kNone, nullptr},
    {"GridFlag", &S::GridFlag, true, false, kNone, nullptr},
    {"PlotFlag", &S::PlotFlag, true, false, kNone, nullptr},
    {"DataFileName", &S::DataFileName, true, false, kNone, nullptr},
    {"SaveFileName", &S::SaveFileName, true, false, kNone, nullptr},
    {"TapeFileName", &S::TapeFileName, true, false, kNone, nullptr},
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

const BlockField* FindBlockDialogField(std::string_view dialog_name) {
  const auto it = std::find_if(std::begin(kBlockFields), std::end(kBlockFields),
                               [&](const BlockField& f) { return f.dialog && f.dialog == dialog_name; });
  return it == std::end(kBlockFields) ? nullptr : &*it;
}

const GlobalField* FindGlobalDialogField(std::string_view dialog_name) {
  const auto it = std::find_if(std::begin(kGlobalFields), std::end(kGlobalFields),
                               [&](const GlobalField& f) { return f.dialog && f.dialog == dialog_name; });
  return it == std::end(kGlobalFields) ? nullptr : &*it;
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
