#include "exact_state.h"

#include <array>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "model/fields.h"
#include "model/sim_copy.h"

namespace trevolan::python {

namespace {

constexpr char kMark[] = "trevolan-exact-1";

class Writer {
 public:
  template <typename T>
    requires std::is_trivially_copyable_v<T>
  void Put(const T& v) {
    out_.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  void Put(const std::string& v) {
    Put(v.size());
    out_ += v;
  }
  void Put(const std::vector<double>& v) { PutRange(v); }
  void Put(const std::vector<uint64_t>& v) { PutRange(v); }
  std::string Take() { return std::move(out_); }

 private:
  template <typename V>
  void PutRange(const V& v) {
    Put(v.size());
    out_.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(typename V::value_type));
  }
  std::string out_;
};

class Reader {
 public:
  explicit Reader(const std::string& in) : in_(in) {}
  template <typename T>
    requires std::is_trivially_copyable_v<T>
  void Get(T& v) {
    std::memcpy(&v, Take(sizeof v), sizeof v);
  }
  void Get(std::string& v) {
    size_t n = 0;
    Get(n);
    v.assign(Take(n), n);
  }
  void Get(std::vector<double>& v) { GetRange(v); }
  void Get(std::vector<uint64_t>& v) { GetRange(v); }
  bool done() const { return at_ == in_.size(); }

 private:
  template <typename V>
  void GetRange(V& v) {
    size_t n = 0;
    Get(n);
    if (n > in_.size()) Fail();
    v.resize(n);
    if (n) std::memcpy(v.data(), Take(n * sizeof(typename V::value_type)), n * sizeof(typename V::value_type));
  }
  const char* Take(size_t n) {
    if (n > in_.size() - at_) Fail();
    const char* p = in_.data() + at_;
    at_ += n;
    return p;
  }
  [[noreturn]] static void Fail() { throw std::invalid_argument("not the exact state of a trevolan model"); }
  const std::string& in_;
  size_t at_ = 0;
};

// Every field of the table, each block's then the globals', then the tape's rows and the
// generator: one list for both ways, `io` a Writer or a Reader. `S` is Sim or const Sim.
template <typename IO, typename S>
void EachPart(IO& io, S& s) {
  const auto part = [&io](auto& v) {
    if constexpr (std::is_same_v<IO, Writer>) io.Put(v);
    else io.Get(v);
  };
  for (int id = 0; id <= kMaxBlockID; ++id) {
    auto& b = s.block(id);
    for (const BlockField& f : BlockFields()) std::visit([&](auto member) { part(b.*member); }, f.member);
  }
  for (const GlobalField& g : GlobalFields()) std::visit([&](auto member) { part(s.*member); }, g.member);
  part(s.StepsTaken);
  part(s.block_streams);
}

}  // namespace

std::string ExactState(const Sim& s) {
  Writer w;
  w.Put(std::string(kMark));
  EachPart(w, s);
  std::ostringstream rng;
  rng << s.rng;
  w.Put(rng.str());
  std::vector<double> tape;
  for (int64_t c = 0; c < kTapeColumns; ++c) {
    for (int64_t r = 0; r <= s.TapeIndex && r < kTapeRows; ++r) tape.push_back(s.TapeCell(c, r));
  }
  w.Put(tape);
  return w.Take();
}

void RestoreExactState(Sim& s, const std::string& bytes) {
  Reader r(bytes);
  std::string mark;
  r.Get(mark);
  if (mark != kMark) throw std::invalid_argument("not the exact state of a trevolan model");
  Sim restored;
  CopyModelState(s, restored);
  EachPart(r, restored);
  std::string generator;
  r.Get(generator);
  std::istringstream rng(generator);
  rng >> restored.rng;
  std::vector<double> tape;
  r.Get(tape);
  const int64_t rows = std::min<int64_t>(int64_t{restored.TapeIndex} + 1, kTapeRows);
  if (!rng || !r.done() || rows < 0 || tape.size() != static_cast<size_t>(kTapeColumns * std::max<int64_t>(rows, 0))) {
    throw std::invalid_argument("not the exact state of a trevolan model");
  }
  CopyModelState(restored, s);
  for (int64_t c = 0; c < kTapeColumns; ++c) {
    for (int64_t row = 0; row < rows; ++row) s.TapeCell(c, row) = tape[static_cast<size_t>(c * rows + row)];
  }
  s.TapeIndex = restored.TapeIndex;
}

}  // namespace trevolan::python
