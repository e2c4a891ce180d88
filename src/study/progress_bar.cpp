#include "study/progress_bar.h"

#include <algorithm>
#include <string>

#include "model/numbers.h"

namespace trevolan::study {

ProgressBar::ProgressBar(std::ostream* terminal, std::ostream& log)
    : terminal_(terminal), log_(log), start_(std::chrono::steady_clock::now()), last_line_(start_) {}

void ProgressBar::Show(int64_t done, int64_t failed, int64_t planned) {
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  std::string words = std::to_string(done) + "/" + std::to_string(planned) + " runs, " + std::to_string(failed) +
                      " failed, " + FormatFixed(elapsed, 0, 1) + " s";
  if (done > 0 && done < planned) {
    words += ", " + FormatFixed(elapsed / static_cast<double>(done) * static_cast<double>(planned - done), 0, 1) +
             " s left";
  }
  if (!terminal_) {
    if (now - last_line_ < std::chrono::seconds(10)) return;
    last_line_ = now;
    log_ << "study: " << words << std::endl;
    return;
  }
  constexpr int kWidth = 30;
  const int filled = planned > 0 ? static_cast<int>(kWidth * std::min(done, planned) / planned) : kWidth;
  *terminal_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
             << std::string(static_cast<size_t>(kWidth - filled), '-') << "] " << words << "   " << std::flush;
  shown_ = true;
}

void ProgressBar::End() {
  if (terminal_ && shown_) *terminal_ << '\n' << std::flush;
}

}  // namespace trevolan::study
