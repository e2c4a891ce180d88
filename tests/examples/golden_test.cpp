// One pinned run of every example: a hash of its whole tape. Any change in the
// numbers a model produces shows here and must be explained (and the hash renewed).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace trevolan {
namespace {

uint64_t Fnv1a(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (const unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

TEST(GoldenRuns, EveryExampleGivesItsPinnedTape) {
  const struct {
    const char* model;
    uint64_t hash;
  } runs[] = {
      {"integrators.txt", 0xa35743bcf5c3df7d},
      {"damped_oscillator.txt", 0x97583e33a75fc8c5},
      {"tank_drain.txt", 0x867a762c8ef6292b},
      {"radiation_cooling.txt", 0x09a90db174f2c9c1},
      {"thermostat.txt", 0x4ad0c4c9a8c80d6b},
      {"producer_consumer.txt", 0xd0bd1e256cec9e7a},
      {"conveyor.txt", 0x67fbd95ccc55dc9e},
      {"breakdowns.txt", 0x1817f556d4bf95e8},
      {"delay_line.txt", 0xda92c6ba6170ba20},
      {"lookup_table.txt", 0x6e07f80b02bd1b41},
      {"mm1_queue.txt", 0xe0da5875c0fbd98f},
  };
  for (const auto& run : runs) {
    testing::TempDir dir;
    const auto r = testing::RunCli({"run", testing::ExamplePath(run.model), "--tape", dir.path("tape.txt")});
    ASSERT_EQ(r.status, 0) << run.model << "\n" << r.out;
    const uint64_t h = Fnv1a(testing::ReadTextFile(dir.path("tape.txt")));
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%016llx", static_cast<unsigned long long>(h));
    EXPECT_EQ(h, run.hash) << run.model << " now gives " << hex;
  }
}

// The text with the temporary folder and the examples' folder named as the pinned
// transcript names them, and the time a model was saved left out.
std::string Pinned(std::string text, const std::string& dir) {
  for (const auto& [from, to] : {std::pair<std::string, std::string>{dir, "DIR"}, {TREVOLAN_EXAMPLES_DIR, "EXAMPLES"}}) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  }
  const std::string recorded = "Recorded: ";
  for (size_t at = 0; (at = text.find(recorded, at)) != std::string::npos;) {
    at += recorded.size();
    text.replace(at, text.find_first_of("\r\n", at) - at, "WHEN");
  }
  return text;
}

// Every command of scripts on an example, and the files it writes, give the pinned
// transcript byte for byte: what the batch runner shows does not change unnoticed.
TEST(GoldenRuns, EveryScriptCommandGivesItsPinnedTranscript) {
  testing::TempDir dir;
  const std::string data = std::string(TREVOLAN_TESTS_DIR) + "/examples/data/";
  std::string script = testing::ReadTextFile(data + "every_command.script");
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"DIR", dir.dir()}, {"EXAMPLES", TREVOLAN_EXAMPLES_DIR}}) {
    for (size_t at = 0; (at = script.find(from, at)) != std::string::npos; at += to.size()) script.replace(at, from.size(), to);
  }
  std::ofstream(dir.path("every.script")) << script;
  const auto r = testing::RunCli({"exec", "-f", dir.path("every.script")});
  std::string transcript = r.out + "status: " + std::to_string(r.status) + "\n";
  for (const char* file : {"model.txt", "tape.txt", "tape.csv"}) {
    transcript += std::string("== ") + file + "\n" + testing::ReadTextFile(dir.path(file));
  }
  for (const char* file : {"diagram.png", "plot.svg"}) {
    transcript += std::string("== ") + file + (std::filesystem::file_size(dir.path(file)) > 0 ? " written\n" : " empty\n");
  }
  EXPECT_EQ(Pinned(transcript, dir.dir()), testing::ReadTextFile(data + "every_command.transcript"));
}

}  // namespace
}  // namespace trevolan
