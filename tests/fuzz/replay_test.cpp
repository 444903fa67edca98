// Replays the committed fuzz inputs: the seeds of every target and the inputs that once
// made a target fail (fixed since). A target that fails again aborts this program; the
// line printed before each input names the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

#define FUZZ_REPLAY_TARGET(name) extern "C" int FuzzReplay_##name(const uint8_t* data, size_t size);
FUZZ_REPLAY_TARGETS
#undef FUZZ_REPLAY_TARGET

namespace {

struct Target {
  const char* name;
  int (*run)(const uint8_t* data, size_t size);
};

// Test names carry the target's name; this keeps its pointers out of them.
void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

#define FUZZ_REPLAY_TARGET(name) Target{#name, &FuzzReplay_##name},
const Target kTargets[] = {FUZZ_REPLAY_TARGETS};
#undef FUZZ_REPLAY_TARGET

std::vector<fs::path> InputsIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

size_t Replay(const Target& target, const fs::path& folder) {
  const std::vector<fs::path> files = InputsIn(folder);
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s\n", file.string().c_str());
    EXPECT_EQ(target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0) << file;
  }
  return files.size();
}

class FuzzReplayTest : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplayTest, SeedsAndSavedCrashesRunClean) {
  const fs::path root(FUZZ_DIR);
  EXPECT_GT(Replay(GetParam(), root / "corpus" / GetParam().name), 0u) << "a target needs seed inputs";
  Replay(GetParam(), root / "crashes" / GetParam().name);
  // The empty input is where libFuzzer starts.
  EXPECT_EQ(GetParam().run(reinterpret_cast<const uint8_t*>(""), 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

// Inputs kept under a name that is no target would never be replayed.
TEST(FuzzReplayFolders, EveryInputFolderBelongsToATarget) {
  std::set<std::string> names;
  for (const Target& target : kTargets) names.insert(target.name);
  for (const char* kind : {"corpus", "crashes"}) {
    const fs::path folder = fs::path(FUZZ_DIR) / kind;
    if (!fs::is_directory(folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.is_directory()) {
        EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path();
      } else {
        // Beside the folders only the dictionaries, <target>.dict.
        EXPECT_EQ(entry.path().extension(), ".dict") << entry.path();
        EXPECT_TRUE(names.count(entry.path().stem().string())) << entry.path();
      }
    }
  }
}

}  // namespace
