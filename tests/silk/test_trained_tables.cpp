// The decoder's statistical tables as compiled in from silk/data/trained_tables.txt,
// the embedding tool that compiles them, and the generator that writes the file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "silk/trained_tables.h"

namespace {

namespace fs = std::filesystem;

template <typename T, size_t N>
std::vector<int> Values(const T (&a)[N]) {
  return std::vector<int>(a, a + N);
}

// ---------------------------------------------------------------------------
// Cumulative tables

// A table made of consecutive cumulative rows; zeroWidth(row, symbol) names
// the symbols that cannot occur and must have width 0.
struct CdfCase {
  const char* name;
  std::vector<int> values;
  std::vector<int> rowLengths;
  bool (*zeroWidth)(int row, int symbol);
};

bool NoZeroWidth(int, int) { return false; }
// Shell splits: row p - 1 holds parent p; a child above the limit of the
// next table down cannot occur.
bool ShellT2Zero(int row, int k) { return k > 8 || (row + 1) - k > 8; }
bool ShellT3Zero(int row, int k) { return k > 12 || (row + 1) - k > 12; }

std::vector<int> Repeat(int length, int times) { return std::vector<int>(times, length); }
std::vector<int> ShellRows(int parents) {
  std::vector<int> r;
  for (int p = 1; p <= parents; ++p) r.push_back(p + 2);
  return r;
}
std::vector<int> StageRows(std::vector<int> vectorCounts) {
  for (int& c : vectorCounts) c += 1;
  return vectorCounts;
}

std::vector<CdfCase> CdfCases() {
  return {
      {"gain voiced", Values(SilkGainCdfVoiced), {65}, NoZeroWidth},
      {"gain unvoiced", Values(SilkGainCdfUnvoiced), {65}, NoZeroWidth},
      {"pitch lag 8k", Values(SilkPitchLagCdf8k), {130}, NoZeroWidth},
      {"pitch lag 12k", Values(SilkPitchLagCdf12k), {194}, NoZeroWidth},
      {"pitch lag 16k", Values(SilkPitchLagCdf16k), {258}, NoZeroWidth},
      {"pitch lag 24k", Values(SilkPitchLagCdf24k), {386}, NoZeroWidth},
      {"pulse count", Values(SilkPulseCountCdf), Repeat(21, 10), NoZeroWidth},
      {"shell T2", Values(SilkShellCdfT2), ShellRows(12), ShellT2Zero},
      {"shell T3", Values(SilkShellCdfT3), ShellRows(18), ShellT3Zero},
      {"nlsf voiced10", Values(SilkNlsfCdfVoiced10), StageRows({64, 16, 8, 8, 8, 16}), NoZeroWidth},
      {"nlsf unvoiced10", Values(SilkNlsfCdfUnvoiced10), StageRows({32, 8, 8, 8, 8, 8}), NoZeroWidth},
      {"nlsf voiced16", Values(SilkNlsfCdfVoiced16), StageRows({128, 16, 8, 8, 8, 8, 8, 8, 8, 16}),
       NoZeroWidth},
      {"nlsf unvoiced16", Values(SilkNlsfCdfUnvoiced16), StageRows({32, 8, 8, 8, 8, 8, 8, 8, 8, 8}),
       NoZeroWidth},
  };
}

TEST(TrainedTables, CumulativeTablesRiseFromZeroToFullScale) {
  for (const CdfCase& c : CdfCases()) {
    SCOPED_TRACE(c.name);
    size_t pos = 0;
    for (size_t row = 0; row < c.rowLengths.size(); ++row) {
      const int len = c.rowLengths[row];
      ASSERT_LE(pos + len, c.values.size());
      const int* cdf = c.values.data() + pos;
      EXPECT_EQ(cdf[0], 0) << "row " << row;
      EXPECT_EQ(cdf[len - 1], 65535) << "row " << row;
      for (int s = 0; s + 1 < len; ++s) {
        const int width = cdf[s + 1] - cdf[s];
        if (c.zeroWidth(static_cast<int>(row), s)) {
          EXPECT_EQ(width, 0) << "row " << row << " symbol " << s << " cannot occur";
        } else {
          EXPECT_GT(width, 0) << "row " << row << " symbol " << s;
        }
      }
      pos += len;
    }
    EXPECT_EQ(pos, c.values.size()) << "rows do not cover the table";
  }
}

// The decoder starts each symbol search at a fixed index, best placed at the
// median. The tables listed here leave room for that between their fixed
// ends (the 24 kHz pitch lags and the order-10 voiced NLSF stage 0 do not:
// their fixed first entries already hold more mass than a smooth curve with
// that median allows).
TEST(TrainedTables, SearchStartsSitAtTheMedian) {
  struct Case {
    const char* name;
    std::vector<int> cdf;
    int start;
  };
  const std::vector<Case> cases = {
      {"gain voiced", Values(SilkGainCdfVoiced), 32},
      {"pitch lag 8k", Values(SilkPitchLagCdf8k), 43},
      {"pitch lag 12k", Values(SilkPitchLagCdf12k), 64},
      {"pitch lag 16k", Values(SilkPitchLagCdf16k), 86},
      {"nlsf voiced16 stage 0", Values(SilkNlsfCdfVoiced16), 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(c.cdf[c.start], 32768, 1000);
  }
}

// The pulse-count rows describe ever busier blocks as the rate level rises.
TEST(TrainedTables, PulseCountMeanGrowsWithRateLevel) {
  double previous = -1.0;
  for (int row = 0; row < 9; ++row) {
    const uint16_t* cdf = SilkPulseCountCdf + 21 * row;
    double mass = 0.0, sum = 0.0;
    for (int count = 0; count <= 18; ++count) {
      const double p = cdf[count + 1] - cdf[count];
      mass += p;
      sum += p * count;
    }
    const double mean = sum / mass;
    EXPECT_GT(mean, previous) << "rate level " << row;
    previous = mean;
  }
}

// ---------------------------------------------------------------------------
// Values fixed by the bitstream format, at their places.

struct FixedRun {
  const char* name;
  std::vector<int> table;
  size_t offset;  // index of the first value; npos-like -1 means "ends at the table's end"
  std::vector<int> values;
};

constexpr size_t kAtEnd = static_cast<size_t>(-1);

TEST(TrainedTables, FixedValuesStandAtTheirPlaces) {
  const std::vector<FixedRun> runs = {
      {"gain voiced head", Values(SilkGainCdfVoiced), 0, {0, 18, 45, 94, 181, 320}},
      {"gain voiced tail", Values(SilkGainCdfVoiced), kAtEnd, {65501, 65513, 65524, 65535}},
      {"gain unvoiced head", Values(SilkGainCdfUnvoiced), 0, {0, 214, 581, 1261, 2376}},
      {"gain unvoiced tail", Values(SilkGainCdfUnvoiced), kAtEnd, {65505, 65521, 65535}},
      {"pitch 8k head", Values(SilkPitchLagCdf8k), 0, {0, 194, 395, 608}},
      {"pitch 8k tail", Values(SilkPitchLagCdf8k), kAtEnd, {65492, 65535}},
      {"pitch 12k head", Values(SilkPitchLagCdf12k), 0, {0, 132, 266, 402}},
      {"pitch 12k tail", Values(SilkPitchLagCdf12k), kAtEnd, {65490, 65535}},
      {"pitch 16k head", Values(SilkPitchLagCdf16k), 0, {0, 106, 213, 321}},
      {"pitch 16k tail", Values(SilkPitchLagCdf16k), kAtEnd, {65514, 65535}},
      {"pitch 24k head", Values(SilkPitchLagCdf24k), 0, {0, 253, 505, 757}},
      {"pitch 24k tail", Values(SilkPitchLagCdf24k), kAtEnd, {65521, 65535}},
      {"ltp 0 first row", Values(SilkLtpCodebook0), 0, {594, 984, 2840, 1021, 669}},
      {"ltp 0 last row", Values(SilkLtpCodebook0), kAtEnd, {1435, -644, 3993, -612, -2063}},
      {"ltp 1 first row", Values(SilkLtpCodebook1), 0, {1655, 2918, 5001, 3010, 1775}},
      {"ltp 2 first row", Values(SilkLtpCodebook2), 0, {-278, 415, 9345, 7106, -431}},
      {"ltp 2 last row", Values(SilkLtpCodebook2), kAtEnd, {518, -66, 1718, 415, 11435}},
      {"pulse count row 0",
       Values(SilkPulseCountCdf),
       0,
       {0, 47113, 61501, 64590, 65125, 65277, 65352, 65407, 65450, 65474, 65488,
        65501, 65508, 65514, 65516, 65520, 65521, 65523, 65524, 65526, 65535}},
      {"pulse count row 9",
       Values(SilkPulseCountCdf),
       kAtEnd,
       {0, 1, 3, 91, 4521, 14708, 28329, 41955, 52116, 58375, 61729,
        63534, 64459, 64924, 65092, 65164, 65182, 65198, 65203, 65211, 65535}},
      {"shell T2 parents 1-3", Values(SilkShellCdfT2), 0,
       {0, 32615, 65535, 0, 14447, 50912, 65535, 0, 6301, 32587, 59361, 65535}},
      {"shell T3 parents 1-3", Values(SilkShellCdfT3), 0,
       {0, 32324, 65535, 0, 15328, 49505, 65535, 0, 7474, 32344, 57955, 65535}},
      {"nlsf voiced10 stage 0 cdf head", Values(SilkNlsfCdfVoiced10), 0,
       {0, 2658, 4420, 6107, 7757, 9408}},
      {"nlsf voiced10 stage 0 cdf tail", Values(SilkNlsfCdfVoiced10), 62, {65023, 65279, 65535}},
      {"nlsf voiced10 vector 0", Values(SilkNlsfVectorsVoiced10), 0,
       {2210, 4023, 6981, 9260, 12573, 15687, 19207, 22383, 25981, 29142}},
      {"nlsf unvoiced10 stage 0 cdf head", Values(SilkNlsfCdfUnvoiced10), 0,
       {0, 17096, 24130, 28997, 33179, 36696}},
      {"nlsf unvoiced10 stage 0 cdf tail", Values(SilkNlsfCdfUnvoiced10), 30, {64576, 65056, 65535}},
      {"nlsf unvoiced10 vector 0", Values(SilkNlsfVectorsUnvoiced10), 0,
       {1877, 4646, 7712, 10745, 13964, 17028, 20239, 23182, 26471, 29287}},
      {"nlsf voiced16 vector 0", Values(SilkNlsfVectorsVoiced16), 0,
       {1170, 2278, 3658, 5374, 7666, 9113, 11298, 13304, 15371, 17549, 19587, 21487, 23798, 26038,
        28318, 30201}},
      {"nlsf voiced16 stage 1 vector 0", Values(SilkNlsfVectorsVoiced16), 128 * 16,
       {150, 168, -17, -107, -142, -229, -320, -406, -503, -620, -867, -935, -902, -680, -398,
        -114}},
      {"nlsf unvoiced16 stage 0 cdf head", Values(SilkNlsfCdfUnvoiced16), 0,
       {0, 19099, 26957, 30639, 34242, 37546}},
      {"nlsf unvoiced16 stage 0 cdf tail", Values(SilkNlsfCdfUnvoiced16), 30, {64574, 65054, 65535}},
      {"nlsf unvoiced16 vector 0", Values(SilkNlsfVectorsUnvoiced16), 0,
       {1309, 3060, 5071, 6996, 9028, 10938, 12934, 14891, 16933, 18854, 20792, 22764, 24753, 26659,
        28626, 30501}},
      {"interp rows 0-2", Values(SilkResamplerInterp144), 0,
       {-647, 1884, 30078, -625, 1736, 30044, -603, 1591, 30005}},
      {"interp rows 71-72", Values(SilkResamplerInterp144), 3 * 71,
       {346, -3283, 19430, 350, -3286, 19194}},
      {"interp rows 142-143", Values(SilkResamplerInterp144), kAtEnd,
       {81, -901, 2409, 73, -851, 2207}},
  };
  for (const FixedRun& run : runs) {
    SCOPED_TRACE(run.name);
    const size_t offset = run.offset == kAtEnd ? run.table.size() - run.values.size() : run.offset;
    ASSERT_LE(offset + run.values.size(), run.table.size());
    const std::vector<int> actual(run.table.begin() + static_cast<long>(offset),
                                  run.table.begin() + static_cast<long>(offset + run.values.size()));
    EXPECT_EQ(actual, run.values);
  }
}

// ---------------------------------------------------------------------------
// NLSF codebooks

struct NlsfBook {
  const char* name;
  std::vector<int> vectors;
  int order;
  std::vector<int> counts;
};

TEST(TrainedTables, NlsfVectorsHaveTheirShapes) {
  const std::vector<NlsfBook> books = {
      {"voiced10", Values(SilkNlsfVectorsVoiced10), 10, {64, 16, 8, 8, 8, 16}},
      {"unvoiced10", Values(SilkNlsfVectorsUnvoiced10), 10, {32, 8, 8, 8, 8, 8}},
      {"voiced16", Values(SilkNlsfVectorsVoiced16), 16, {128, 16, 8, 8, 8, 8, 8, 8, 8, 16}},
      {"unvoiced16", Values(SilkNlsfVectorsUnvoiced16), 16, {32, 8, 8, 8, 8, 8, 8, 8, 8, 8}},
  };
  for (const NlsfBook& book : books) {
    SCOPED_TRACE(book.name);
    size_t pos = 0;
    for (size_t stage = 0; stage < book.counts.size(); ++stage) {
      std::set<std::vector<int>> seen;
      for (int v = 0; v < book.counts[stage]; ++v) {
        const std::vector<int> vec(book.vectors.begin() + static_cast<long>(pos),
                                   book.vectors.begin() + static_cast<long>(pos + book.order));
        pos += book.order;
        EXPECT_TRUE(seen.insert(vec).second) << "stage " << stage << " vector " << v << " repeats";
        for (int i = 0; i < book.order; ++i) {
          if (stage == 0) {
            // Absolute frequencies: increasing, inside the usable band.
            EXPECT_GE(vec[i], 454) << "vector " << v;
            EXPECT_LE(vec[i], 32075) << "vector " << v;
            if (i > 0) {
              EXPECT_GT(vec[i], vec[i - 1]) << "vector " << v << " entry " << i;
            }
          } else {
            EXPECT_LE(std::abs(vec[i]), 1687) << "stage " << stage << " vector " << v;
          }
        }
      }
    }
    EXPECT_EQ(pos, book.vectors.size());
  }
}

// ---------------------------------------------------------------------------
// LTP codebooks: five-tap predictors with a gain of at most 1.0 (Q14).

TEST(TrainedTables, LtpRowsArePredictorsWithGainAtMostOne) {
  const std::vector<std::pair<const char*, std::vector<int>>> books = {
      {"codebook 0", Values(SilkLtpCodebook0)},
      {"codebook 1", Values(SilkLtpCodebook1)},
      {"codebook 2", Values(SilkLtpCodebook2)},
  };
  for (const auto& [name, taps] : books) {
    SCOPED_TRACE(name);
    int middleDominant = 0;
    const int rows = static_cast<int>(taps.size()) / 5;
    for (int r = 0; r < rows; ++r) {
      const int* t = taps.data() + 5 * r;
      const int sum = t[0] + t[1] + t[2] + t[3] + t[4];
      EXPECT_GT(sum, 0) << "row " << r;
      EXPECT_LE(sum, 16384) << "row " << r;
      bool middle = true;
      for (int k = 0; k < 5; ++k) middle = middle && (k == 2 || std::abs(t[k]) <= t[2]);
      middleDominant += middle ? 1 : 0;
    }
    EXPECT_GE(middleDominant * 2, rows) << "most rows should centre on the middle tap";
  }
}

// ---------------------------------------------------------------------------
// Interpolation kernel: phase r uses row r for the first three taps and row
// 143 - r reversed for the last three.

TEST(TrainedTables, InterpolationKernelIsSmoothWithUnitGain) {
  const int16_t(*rows)[3] = reinterpret_cast<const int16_t(*)[3]>(SilkResamplerInterp144);
  for (int r = 0; r < 144; ++r) {
    const int dc = rows[r][0] + rows[r][1] + rows[r][2] + rows[143 - r][2] + rows[143 - r][1] +
                   rows[143 - r][0];
    EXPECT_NEAR(dc, 32768, 32) << "phase " << r;
    // The tap nearest the output position fades as the phase moves away from it.
    if (r > 0) {
      EXPECT_LT(rows[r][2], rows[r - 1][2]) << "phase " << r;
    }
  }
  // Every tap varies smoothly with the phase: no kinks where the free rows
  // meet the fixed ones.
  for (int k = 0; k < 3; ++k) {
    for (int r = 1; r < 143; ++r) {
      const int second = rows[r - 1][k] - 2 * rows[r][k] + rows[r + 1][k];
      EXPECT_LE(std::abs(second), 16) << "tap " << k << " phase " << r;
    }
  }
}

// ---------------------------------------------------------------------------
// The embedding tool

std::string ToolPath() { return TAVIMO_BINARY_DIR "/bin/tavimo-embed-tables"; }

struct SchemaEntry {
  const char* name;
  int count;
};
const SchemaEntry kSchema[] = {
    {"gain_cdf_voiced", 65},          {"gain_cdf_unvoiced", 65},
    {"pitch_lag_cdf_8k", 130},        {"pitch_lag_cdf_12k", 194},
    {"pitch_lag_cdf_16k", 258},       {"pitch_lag_cdf_24k", 386},
    {"ltp_codebook_0", 50},           {"ltp_codebook_1", 100},
    {"ltp_codebook_2", 200},          {"pulse_count_cdf", 210},
    {"shell_cdf_t2", 102},            {"shell_cdf_t3", 207},
    {"nlsf_cdf_voiced10", 126},       {"nlsf_vectors_voiced10", 1200},
    {"nlsf_cdf_unvoiced10", 78},      {"nlsf_vectors_unvoiced10", 720},
    {"nlsf_cdf_voiced16", 226},       {"nlsf_vectors_voiced16", 3456},
    {"nlsf_cdf_unvoiced16", 114},     {"nlsf_vectors_unvoiced16", 1664},
    {"resampler_interp_144", 432},
};
constexpr int kTables = static_cast<int>(std::size(kSchema));

// A minimal valid file: line 1 a comment, then for table t its header on
// line 2 + 2t and all its values (7) on line 3 + 2t.
std::vector<std::string> ValidLines() {
  std::vector<std::string> lines = {"# test tables"};
  for (const SchemaEntry& e : kSchema) {
    lines.push_back(std::string("[") + e.name + "]");
    std::string values;
    for (int i = 0; i < e.count; ++i) values += (i ? " 7" : "7");
    lines.push_back(values);
  }
  return lines;
}
int HeaderLine(int table) { return 2 + 2 * table; }
int ValuesLine(int table) { return 3 + 2 * table; }

class TableTools : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tavimo-embed-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the tool on text; returns its exit status and keeps stderr.
  int Run(const std::string& text, const std::string& outName = "out.cpp") {
    const fs::path in = dir_ / "tables.txt";
    std::ofstream(in, std::ios::binary) << text;
    const std::string cmd = "'" + ToolPath() + "' '" + in.string() + "' '" +
                            (dir_ / outName).string() + "' 2>'" + (dir_ / "err.txt").string() + "'";
    const int raw = std::system(cmd.c_str());
    std::ifstream err(dir_ / "err.txt");
    stderr_.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Read(const std::string& name) {
    std::ifstream f(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  static std::string Join(const std::vector<std::string>& lines, const char* eol = "\n") {
    std::string s;
    for (const std::string& l : lines) s += l + eol;
    return s;
  }

  fs::path dir_;
  std::string stderr_;
};

TEST_F(TableTools, AcceptsCommasCommentsAndLineBreaksAlike) {
  ASSERT_EQ(Run(Join(ValidLines())), 0) << stderr_;
  const std::string plain = Read("out.cpp");
  EXPECT_NE(plain.find("const uint16_t SilkGainCdfVoiced[65] = {"), std::string::npos);
  EXPECT_NE(plain.find("const int16_t SilkResamplerInterp144[432] = {"), std::string::npos);

  // Same values, written with commas, comments, CRLF and one value per line.
  std::vector<std::string> lines = {"\xEF\xBB\xBF# test tables  # with a BOM"};
  for (const SchemaEntry& e : kSchema) {
    lines.push_back(std::string("  [") + e.name + "]   # header comment");
    for (int i = 0; i < e.count; ++i) lines.push_back(i % 2 ? "7," : ",7 # c");
  }
  ASSERT_EQ(Run(Join(lines, "\r\n"), "out2.cpp"), 0) << stderr_;
  const std::string other = Read("out2.cpp");
  // Only the first line (which names the input file) may differ.
  EXPECT_EQ(plain.substr(plain.find('\n')), other.substr(other.find('\n')));
}

struct BadFileCase {
  const char* label;
  void (*mutate)(std::vector<std::string>& lines);
  int line;             // line the error must point at
  const char* message;  // part of the message
};

const BadFileCase kBadFiles[] = {
    {"one value short", [](auto& l) { l[ValuesLine(3) - 1].erase(0, 2); }, HeaderLine(3),
     "has 193 values, expected 194"},
    {"one value extra", [](auto& l) { l[ValuesLine(20) - 1] += ",7"; }, HeaderLine(20),
     "has 433 values, expected 432"},
    {"unknown table", [](auto& l) { l.insert(l.begin() + 1, "[gain_cdf_other]"); }, 2,
     "unknown table [gain_cdf_other]"},
    {"table twice", [](auto& l) { l.push_back("[ltp_codebook_0]"); }, 2 * kTables + 2,
     "appears again"},
    {"table missing", [](auto& l) { l.resize(l.size() - 2); }, 2 * kTables - 1,
     "[resampler_interp_144] is missing"},
    {"uint16 above range", [](auto& l) { l[ValuesLine(0) - 1] += " 65536"; }, ValuesLine(0),
     "out of range for uint16"},
    {"uint16 negative", [](auto& l) { l[ValuesLine(9) - 1].replace(0, 1, "-1"); }, ValuesLine(9),
     "out of range for uint16"},
    {"int16 above range", [](auto& l) { l[ValuesLine(6) - 1].replace(0, 1, "32768"); },
     ValuesLine(6), "out of range for int16"},
    {"int16 below range", [](auto& l) { l[ValuesLine(6) - 1].replace(0, 1, "-32769"); },
     ValuesLine(6), "out of range for int16"},
    {"huge value", [](auto& l) { l[ValuesLine(6) - 1].replace(0, 1, "99999999999999999999999"); },
     ValuesLine(6), "out of range"},
    {"not a number", [](auto& l) { l[ValuesLine(1) - 1].replace(0, 1, "7a"); }, ValuesLine(1),
     "'7a' in [gain_cdf_unvoiced] is not a decimal integer"},
    {"fraction", [](auto& l) { l[ValuesLine(1) - 1].replace(0, 1, "1.5"); }, ValuesLine(1),
     "not a decimal integer"},
    {"value before any table", [](auto& l) { l[0] = "12"; }, 1, "before the first [name] line"},
    {"broken header", [](auto& l) { l[HeaderLine(2) - 1] = "[pitch_lag_cdf_8k"; }, HeaderLine(2),
     "malformed table header"},
};

TEST_F(TableTools, RejectsMalformedFilesWithTheLineOfTheFault) {
  for (const BadFileCase& c : kBadFiles) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> lines = ValidLines();
    c.mutate(lines);
    fs::remove(dir_ / "out.cpp");
    EXPECT_EQ(Run(Join(lines)), 1);
    EXPECT_NE(stderr_.find("tables.txt:" + std::to_string(c.line) + ": error: "), std::string::npos)
        << stderr_;
    EXPECT_NE(stderr_.find(c.message), std::string::npos) << stderr_;
    EXPECT_FALSE(fs::exists(dir_ / "out.cpp")) << "no output on error";
  }
}

TEST_F(TableTools, RejectsAMissingInputFile) {
  const std::string cmd = "'" + ToolPath() + "' '" + (dir_ / "absent.txt").string() + "' '" +
                          (dir_ / "out.cpp").string() + "' 2>/dev/null";
  const int raw = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_FALSE(fs::exists(dir_ / "out.cpp"));
}

// ---------------------------------------------------------------------------
// The generator

TEST_F(TableTools, GeneratorReproducesTheCommittedFileExactly) {
  if (std::system("python3 -c 'import sys; sys.exit(sys.version_info < (3, 8))' >/dev/null 2>&1") !=
      0) {
    GTEST_SKIP() << "python3 not available";
  }
  const std::string gen = TAVIMO_SOURCE_DIR "/tools/gen_trained_tables.py";
  for (const char* name : {"a.txt", "b.txt"}) {
    const std::string cmd = "python3 '" + gen + "' '" + (dir_ / name).string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  const std::string a = Read("a.txt");
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a, Read("b.txt")) << "two runs differ";
  std::ifstream committed(TAVIMO_SOURCE_DIR "/silk/data/trained_tables.txt", std::ios::binary);
  const std::string c((std::istreambuf_iterator<char>(committed)), std::istreambuf_iterator<char>());
  EXPECT_EQ(a, c) << "silk/data/trained_tables.txt is not what the generator writes; regenerate it";
}

}  // namespace
