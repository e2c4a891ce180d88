#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/tape_file.h"

namespace trevolan {
namespace {

using testing::RunExample;
using testing::TapeTable;

// Times at which a sampled signal crosses zero going down, interpolated between rows.
std::vector<double> DownwardZeroCrossings(const std::vector<double>& t, const std::vector<double>& x) {
  std::vector<double> times;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] > 0 && x[i] <= 0) times.push_back(t[i - 1] + (t[i] - t[i - 1]) * x[i - 1] / (x[i - 1] - x[i]));
  }
  return times;
}

TEST(ContinuousExamples, DampedOscillatorMatchesTheAnalyticPeriodAndDecay) {
  std::string out;
  const TapeTable tape = RunExample("damped_oscillator.txt", "print Delt", &out);
  ASSERT_EQ(out, "0.01\n");
  ASSERT_EQ(tape.rows.size(), 1001u);
  const auto t = tape.Column("Time"), x = tape.Column("position");
  const double zeta = 0.05, w0 = 2 * std::numbers::pi / 20;
  const double period = 20 / std::sqrt(1 - zeta * zeta);
  const double ratio = std::exp(-zeta * w0 * period);
  const auto crossings = DownwardZeroCrossings(t, x);
  ASSERT_GE(crossings.size(), 4u);
  for (size_t i = 1; i < crossings.size(); ++i) {
    // Forward Euler at Delt 0.01 shifts the period by about (w0 Delt)^2 / 24 relative.
    EXPECT_NEAR(crossings[i] - crossings[i - 1], period, 0.01) << i;
  }
  // Peaks, one per period: successive ratios.
  std::vector<double> peaks;
  for (size_t i = 1; i + 1 < x.size(); ++i) {
    if (x[i] > x[i - 1] && x[i] >= x[i + 1]) peaks.push_back(x[i]);
  }
  ASSERT_GE(peaks.size(), 4u);
  for (size_t i = 1; i < peaks.size(); ++i) EXPECT_NEAR(peaks[i] / peaks[i - 1], ratio, 0.002) << i;
}

TEST(ContinuousExamples, TankDrainsInTheSquareRootLawsTime) {
  const TapeTable tape = RunExample("tank_drain.txt", "print FinTim");
  const auto t = tape.Column("Time"), level = tape.Column("level");
  ASSERT_EQ(t.size(), 301u);
  for (size_t i = 0; i < t.size() && t[i] <= 90; ++i) {
    const double exact = std::pow(10 - 0.1 * t[i], 2);
    ASSERT_NEAR(level[i], exact, 0.02 + 0.002 * exact) << t[i];
  }
  // Empty (below 0.5) close to 2 sqrt(100 - ...)/0.2: analytically 92.93.
  size_t empty = 0;
  while (empty < level.size() && level[empty] >= 0.5) ++empty;
  ASSERT_LT(empty, level.size());
  EXPECT_NEAR(t[empty], 2 * (10 - std::sqrt(0.5)) / 0.2, 0.6);
  EXPECT_NEAR(level.back(), 0, 1e-3);  // stays empty
}

TEST(ContinuousExamples, RadiatingBodyApproachesItsSurroundings) {
  const TapeTable tape = RunExample("radiation_cooling.txt", "print 50.Value");
  const auto t = tape.Column("Time"), body = tape.Column("body");
  ASSERT_EQ(t.size(), 201u);
  const auto rate = [](double temp) {
    return -0.001 * (5.67051e-8 * (std::pow(temp, 4) - std::pow(300.0, 4)) + 10 * (temp - 300));
  };
  // Forward Euler at the model's step of 0.5 must agree to rounding: the wiring is right.
  // A fine RK4 integration must agree within Euler's error: the physics is right.
  double euler = 1000, euler_t = 0, fine = 1000, fine_t = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    for (; euler_t < t[i] - 1e-9; euler_t += 0.5) euler += 0.5 * rate(euler);
    for (; fine_t < t[i] - 1e-9; fine_t += 0.01) {
      const double h = 0.01, k1 = rate(fine), k2 = rate(fine + h / 2 * k1), k3 = rate(fine + h / 2 * k2),
                   k4 = rate(fine + h * k3);
      fine += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
    }
    ASSERT_NEAR(body[i], euler, 1e-6 * euler) << t[i];
    ASSERT_NEAR(body[i], fine, 0.03 * (fine - 300) + 0.5) << t[i];
    if (i > 0) {
      ASSERT_LT(body[i], body[i - 1]);
    }
    ASSERT_GT(body[i], 300);
  }
  EXPECT_NEAR(body.back(), 300, 0.01);
  // Radiation carries most of the heat at first, conduction at the end.
  EXPECT_GT(tape.Column("radiation").front(), tape.Column("conduction").front());
  EXPECT_LT(tape.Column("radiation").back(), tape.Column("conduction").back());
}

TEST(ContinuousExamples, ThermostatSwitchesAtItsTwoThresholds) {
  const TapeTable tape = RunExample("thermostat.txt", "set GrDel 1");
  const auto t = tape.Column("Time"), room = tape.Column("room"), relay = tape.Column("relay");
  ASSERT_EQ(t.size(), 5001u);
  int on = 0, off = 0;
  for (size_t i = 1; i < t.size(); ++i) {
    if (relay[i - 1] == 0 && relay[i] == 1) {
      ++on;
      EXPECT_GT(room[i], 21) << t[i];
      EXPECT_LE(room[i - 1], 21) << t[i];
    } else if (relay[i - 1] == 1 && relay[i] == 0) {
      ++off;
      EXPECT_LE(room[i], 19) << t[i];
      EXPECT_GT(room[i - 1], 19) << t[i];
    } else {
      ASSERT_EQ(relay[i], relay[i - 1]);
    }
    if (t[i] > 1000) {
      ASSERT_GT(room[i], 19 - 0.05) << t[i];
      ASSERT_LT(room[i], 21 + 0.05) << t[i];
    }
  }
  EXPECT_GE(on, 5);
  EXPECT_GE(off, 5);
}

}  // namespace
}  // namespace trevolan
