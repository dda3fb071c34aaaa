// Writes the chart of made-up counts, for the rendering test:
//   chart_sample OUT.svg N        N texts "t0000000".. with counts 1..7 in turn
//   chart_sample OUT.svg C1 C2..  one text per count given
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "chart/Chart.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::vector<DateCount> counts;
  if (argc == 3) {
    const long n = std::atol(argv[2]);
    for (long i = 0; i < n; ++i) {
      std::string name = std::to_string(i);
      name = "t" + std::string(7 - std::min<size_t>(7, name.size()), '0') + name;
      counts.push_back(DateCount{Text(name.begin(), name.end()), i % 7 + 1});
    }
  } else {
    for (int i = 2; i < argc; ++i) {
      const std::string name = "d" + std::to_string(i - 1);
      counts.push_back(DateCount{Text(name.begin(), name.end()), std::atol(argv[i])});
    }
  }
  const std::string svg =
      ChartSvg(counts, ChartFacts{u"sample", DateKind::kModified, u"yyyy-mm-dd", 0, u"%yyyy-%mm-%dd"});
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 1;
  const bool ok = std::fwrite(svg.data(), 1, svg.size(), out) == svg.size();
  return std::fclose(out) == 0 && ok ? 0 : 1;
}
