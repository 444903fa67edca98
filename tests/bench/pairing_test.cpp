// The paired mode: its option, the order of each round, and ratios taken round by round.
#include "bench/common/pairing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct OptionCase {
  std::vector<std::string> args;  // after the program's name
  int rounds;                     // -1: refused
  std::vector<std::string> left;  // what the benchmark library is given
};

void PrintTo(const OptionCase& c, std::ostream* out) {
  for (const std::string& arg : c.args) *out << arg << " ";
}

class PairedOption : public ::testing::TestWithParam<OptionCase> {};

TEST_P(PairedOption, IsTakenOutOfTheCommandLine) {
  const OptionCase& c = GetParam();
  std::vector<std::string> storage{"bench"};
  storage.insert(storage.end(), c.args.begin(), c.args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(storage.size());
  std::string error;
  EXPECT_EQ(c.rounds, bench::TakePairedOption(&argc, argv.data(), &error));
  EXPECT_EQ(c.rounds < 0, !error.empty()) << error;
  if (c.rounds < 0) return;
  std::vector<std::string> left;
  for (int i = 1; i < argc; ++i) left.emplace_back(argv[static_cast<size_t>(i)]);
  EXPECT_EQ(c.left, left);
  EXPECT_EQ(nullptr, argv[static_cast<size_t>(argc)]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PairedOption,
    ::testing::Values(OptionCase{{}, 0, {}}, OptionCase{{"--benchmark_filter=X"}, 0, {"--benchmark_filter=X"}},
                      OptionCase{{"--paired"}, bench::kDefaultPairedRounds, {}},
                      OptionCase{{"--paired=3", "--benchmark_filter=X"}, 3, {"--benchmark_filter=X"}},
                      OptionCase{{"--benchmark_filter=X", "--paired=1000"}, 1000, {"--benchmark_filter=X"}},
                      OptionCase{{"--paired=1"}, -1, {}}, OptionCase{{"--paired=1001"}, -1, {}},
                      OptionCase{{"--paired="}, -1, {}}, OptionCase{{"--paired=5x"}, -1, {}},
                      OptionCase{{"--paired=-4"}, -1, {}},
                      // Only the exact option: a longer name is the library's to refuse.
                      OptionCase{{"--pairedness"}, 0, {"--pairedness"}}));

struct RatioCase {
  const char* name;
  std::vector<double> measured, baseline;
  double ratio;
};

void PrintTo(const RatioCase& c, std::ostream* out) { *out << c.name; }

class PairedRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(PairedRatio, IsTheMedianOfTheRoundsRatios) {
  const RatioCase& c = GetParam();
  EXPECT_DOUBLE_EQ(c.ratio, bench::PairedRatio(c.measured, c.baseline));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PairedRatio,
    ::testing::Values(
        RatioCase{"even", {2, 4, 6}, {1, 2, 3}, 2.0},
        // A busy round slows both sides: the ratio of the medians would say 1.5, the
        // rounds all say 1.
        RatioCase{"busyRound", {1, 1, 10}, {1, 1, 10}, 1.0},
        RatioCase{"outlierOneSide", {1.1, 1.1, 50}, {1, 1, 1}, 1.1},
        RatioCase{"missingFigureLeftOut", {2, 0, 2}, {1, 1, 1}, 2.0},
        RatioCase{"unequalCountsTakeTheCommonRounds", {3, 3, 99}, {1, 1}, 3.0},
        RatioCase{"nothing", {}, {}, 0.0}, RatioCase{"noBaseline", {1}, {0}, 0.0}),
    [](const ::testing::TestParamInfo<RatioCase>& info) { return std::string(info.param.name); });

TEST(PairedRounds, EveryBenchmarkLeadsOnceAndTheFilterMatchesOnlyItsName) {
  std::vector<size_t> firsts;
  for (int round = 0; round < 4; ++round) {
    std::vector<size_t> order = bench::RotatedOrder(4, round);
    std::vector<size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ((std::vector<size_t>{0, 1, 2, 3}), sorted);
    firsts.push_back(order[0]);
  }
  std::sort(firsts.begin(), firsts.end());
  EXPECT_EQ((std::vector<size_t>{0, 1, 2, 3}), firsts);
  EXPECT_TRUE(bench::RotatedOrder(0, 3).empty());
  EXPECT_EQ("^BM_Store/0/min_time:0\\.300/repeats:5/real_time$",
            bench::ExactFilter("BM_Store/0/min_time:0.300/repeats:5/real_time"));
  EXPECT_EQ("^a\\(b\\)\\[c\\]\\*\\+\\?\\|\\\\$", bench::ExactFilter("a(b)[c]*+?|\\"));
}

}  // namespace
