// tavimo-embed-tables: turns the decoder's table file into C++ constant arrays.
//
//   tavimo-embed-tables IN.txt OUT.cpp
//
// The table file is UTF-8 text. '#' starts a comment that runs to the end of
// the line. A line "[name]" starts a table; its values follow as decimal
// integers separated by whitespace and/or commas, over any number of lines,
// up to the next "[name]" line or the end of the file.
//
// The schema below fixes, for every table, its C name, element type and exact
// value count (multi-dimensional tables are stored row-major). The file must
// hold every table exactly once, with exactly that many values, each within
// the element type's range; anything else is an error, reported as
// "FILE:LINE: error: ..." on stderr with exit status 1, so that a bad file
// stops the build. On success OUT.cpp is (re)written atomically and defines
// the arrays declared in silk/trained_tables.h.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

enum class ElemType { U16, I16 };

struct TableSpec {
  const char* fileName;  // name between the brackets in the table file
  const char* cName;     // array name in C++
  ElemType type;
  int count;
};

constexpr TableSpec kSchema[] = {
    {"gain_cdf_voiced", "SilkGainCdfVoiced", ElemType::U16, 65},
    {"gain_cdf_unvoiced", "SilkGainCdfUnvoiced", ElemType::U16, 65},
    {"pitch_lag_cdf_8k", "SilkPitchLagCdf8k", ElemType::U16, 130},
    {"pitch_lag_cdf_12k", "SilkPitchLagCdf12k", ElemType::U16, 194},
    {"pitch_lag_cdf_16k", "SilkPitchLagCdf16k", ElemType::U16, 258},
    {"pitch_lag_cdf_24k", "SilkPitchLagCdf24k", ElemType::U16, 386},
    {"ltp_codebook_0", "SilkLtpCodebook0", ElemType::I16, 50},
    {"ltp_codebook_1", "SilkLtpCodebook1", ElemType::I16, 100},
    {"ltp_codebook_2", "SilkLtpCodebook2", ElemType::I16, 200},
    {"pulse_count_cdf", "SilkPulseCountCdf", ElemType::U16, 210},
    {"shell_cdf_t2", "SilkShellCdfT2", ElemType::U16, 102},
    {"shell_cdf_t3", "SilkShellCdfT3", ElemType::U16, 207},
    {"nlsf_cdf_voiced10", "SilkNlsfCdfVoiced10", ElemType::U16, 126},
    {"nlsf_vectors_voiced10", "SilkNlsfVectorsVoiced10", ElemType::I16, 1200},
    {"nlsf_cdf_unvoiced10", "SilkNlsfCdfUnvoiced10", ElemType::U16, 78},
    {"nlsf_vectors_unvoiced10", "SilkNlsfVectorsUnvoiced10", ElemType::I16, 720},
    {"nlsf_cdf_voiced16", "SilkNlsfCdfVoiced16", ElemType::U16, 226},
    {"nlsf_vectors_voiced16", "SilkNlsfVectorsVoiced16", ElemType::I16, 3456},
    {"nlsf_cdf_unvoiced16", "SilkNlsfCdfUnvoiced16", ElemType::U16, 114},
    {"nlsf_vectors_unvoiced16", "SilkNlsfVectorsUnvoiced16", ElemType::I16, 1664},
    {"resampler_interp_144", "SilkResamplerInterp144", ElemType::I16, 432},
};
constexpr int kTableCount = static_cast<int>(sizeof(kSchema) / sizeof(kSchema[0]));

struct ParsedTable {
  int headerLine = 0;  // 0: not seen
  std::vector<long long> values;
};

struct Parser {
  std::string path;
  std::vector<ParsedTable> tables = std::vector<ParsedTable>(kTableCount);
  bool failed = false;

  void error(int line, const std::string& msg) {
    std::cerr << path << ':' << line << ": error: " << msg << '\n';
    failed = true;
  }
};

int findTable(std::string_view name) {
  for (int i = 0; i < kTableCount; ++i) {
    if (name == kSchema[i].fileName) return i;
  }
  return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool isSeparator(char c) { return isSpace(c) || c == ','; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

long long typeMin(ElemType t) { return t == ElemType::U16 ? 0 : -32768; }
long long typeMax(ElemType t) { return t == ElemType::U16 ? 65535 : 32767; }
const char* typeName(ElemType t) { return t == ElemType::U16 ? "uint16" : "int16"; }

// Parses the whole file; errors are reported as they are found (up to a
// limit) so that one run shows most of what is wrong.
void parse(Parser& p, std::istream& in) {
  std::string raw;
  int lineNo = 0;
  int current = -1;       // index of the table being filled, -1 before the first header
  bool skipping = false;  // inside an unknown or duplicate table: ignore its values
  int errors = 0;
  auto report = [&](int line, const std::string& msg) {
    if (errors++ < 20) p.error(line, msg);
    p.failed = true;
  };

  while (std::getline(in, raw)) {
    ++lineNo;
    std::string_view line(raw);
    if (lineNo == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // UTF-8 BOM
    if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    std::string_view t = trim(line);
    if (t.empty()) continue;

    if (t.front() == '[') {
      if (t.back() != ']' || t.size() < 3) {
        report(lineNo, "malformed table header '" + std::string(t) + "' (expected [name])");
        skipping = true;
        continue;
      }
      std::string_view name = t.substr(1, t.size() - 2);
      int idx = findTable(name);
      if (idx < 0) {
        report(lineNo, "unknown table [" + std::string(name) + "]");
        skipping = true;
        continue;
      }
      if (p.tables[idx].headerLine != 0) {
        report(lineNo, "table [" + std::string(name) + "] appears again (first at line " +
                           std::to_string(p.tables[idx].headerLine) + ")");
        skipping = true;
        continue;
      }
      current = idx;
      skipping = false;
      p.tables[idx].headerLine = lineNo;
      continue;
    }

    // A line of values.
    size_t pos = 0;
    while (pos < t.size()) {
      while (pos < t.size() && isSeparator(t[pos])) ++pos;
      size_t end = pos;
      while (end < t.size() && !isSeparator(t[end])) ++end;
      if (end == pos) break;
      std::string_view tok = t.substr(pos, end - pos);
      pos = end;
      if (skipping) continue;
      if (current < 0) {
        report(lineNo, "value '" + std::string(tok) + "' before the first [name] line");
        skipping = true;
        continue;
      }
      long long v = 0;
      const char* first = tok.data();
      const char* last = tok.data() + tok.size();
      auto [ptr, ec] = std::from_chars(first, last, v);
      const TableSpec& spec = kSchema[current];
      if (ec == std::errc::result_out_of_range) {
        report(lineNo, "value " + std::string(tok) + " in [" + spec.fileName + "] is out of range for " +
                           typeName(spec.type));
        continue;
      }
      if (ec != std::errc() || ptr != last) {
        report(lineNo, "'" + std::string(tok) + "' in [" + spec.fileName + "] is not a decimal integer");
        continue;
      }
      if (v < typeMin(spec.type) || v > typeMax(spec.type)) {
        report(lineNo, "value " + std::to_string(v) + " in [" + spec.fileName + "] is out of range for " +
                           typeName(spec.type) + " (" + std::to_string(typeMin(spec.type)) + ".." +
                           std::to_string(typeMax(spec.type)) + ")");
        continue;
      }
      p.tables[current].values.push_back(v);
    }
  }

  // Values dropped by the errors above would make a count look wrong too;
  // the message says so then.
  const bool valuesDropped = p.failed;
  for (int i = 0; i < kTableCount; ++i) {
    const ParsedTable& tab = p.tables[i];
    const std::string name = std::string("table [") + kSchema[i].fileName + "]";
    if (tab.headerLine == 0) {
      report(lineNo, name + " is missing");
    } else if (static_cast<int>(tab.values.size()) != kSchema[i].count) {
      report(tab.headerLine, name + " has " + std::to_string(tab.values.size()) +
                                 (valuesDropped ? " valid values" : " values") + ", expected " +
                                 std::to_string(kSchema[i].count));
    }
  }
}

std::string render(const std::string& inputPath, const Parser& p) {
  std::ostringstream out;
  out << "// Generated by tavimo-embed-tables from " << inputPath << ".\n"
      << "// Do not edit: change the table file and rebuild.\n"
      << "#include \"silk/trained_tables.h\"\n";
  for (int i = 0; i < kTableCount; ++i) {
    const TableSpec& spec = kSchema[i];
    out << "\n// [" << spec.fileName << "]\n"
        << "const " << (spec.type == ElemType::U16 ? "uint16_t " : "int16_t ") << spec.cName << '['
        << spec.count << "] = {";
    const std::vector<long long>& v = p.tables[i].values;
    for (size_t k = 0; k < v.size(); ++k) {
      out << (k % 12 == 0 ? "\n    " : " ") << v[k] << ',';
    }
    out << "\n};\n";
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tavimo-embed-tables IN.txt OUT.cpp\n";
    return 2;
  }
  Parser p;
  p.path = argv[1];
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": error: cannot open table file\n";
    return 1;
  }
  parse(p, in);
  if (in.bad()) {
    std::cerr << argv[1] << ": error: read failed\n";
    return 1;
  }
  if (p.failed) return 1;

  const std::string outPath = argv[2];
  const std::string tmpPath = outPath + ".tmp";
  {
    std::ofstream out(tmpPath, std::ios::binary | std::ios::trunc);
    out << render(argv[1], p);
    out.close();
    if (!out) {
      std::cerr << tmpPath << ": error: cannot write output\n";
      std::remove(tmpPath.c_str());
      return 1;
    }
  }
  if (std::rename(tmpPath.c_str(), outPath.c_str()) != 0) {
    std::cerr << outPath << ": error: cannot replace output\n";
    std::remove(tmpPath.c_str());
    return 1;
  }
  return 0;
}
