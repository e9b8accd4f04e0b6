#include "analysis/TideConstituents.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <sstream>
#include <unordered_map>

namespace tmv {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Foreman (2004), Appendix 1 and 2: name, Doodson numbers (tau s h p N' p'),
// phase offset in cycles, then the satellites: changes of the p, N' and p'
// numbers, phase (cycles), amplitude ratio, and R1 / R2 where the ratio is
// scaled with latitude.
constexpr const char* kAstronomical[] = {
    "Z0 0 0 0 0 0 0 0.0",
    "SA 0 0 1 0 0 -1 0.0",
    "SSA 0 0 2 0 0 0 0.0",
    "MSM 0 1 -2 1 0 0 0.0",
    "MM 0 1 0 -1 0 0 0.0",
    "MSF 0 2 -2 0 0 0 0.0",
    "MF 0 2 0 0 0 0 0.0",
    "ALP1 1 -4 2 1 0 0 -0.25 | -1 0 0 .75 .0360 R1 | 0 -1 0 .00 .1906",
    "2Q1 1 -3 0 2 0 0 -0.25 | -2 -2 0 .50 .0063 | -1 -1 0 .75 .0241 R1 | -1 0 0 .75 .0607 R1 | 0 -2 0 .50 .0063"
    " | 0 -1 0 .0 .1885",
    "SIG1 1 -3 2 0 0 0 -0.25 | -1 0 0 .75 .0095 R1 | 0 -2 0 .50 .0061 | 0 -1 0 .0 .1884 | 2 0 0 .50 .0087",
    "Q1 1 -2 0 1 0 0 -0.25 | -2 -3 0 .50 .0007 | -2 -2 0 .50 .0039 | -1 -2 0 .75 .0010 R1 | -1 -1 0 .75 .0115 R1"
    " | -1 0 0 .75 .0292 R1 | 0 -2 0 .50 .0057 | -1 0 1 .0 .0008 | 0 -1 0 .0 .1884 | 1 0 0 .75 .0018 R1"
    " | 2 0 0 .50 .0028",
    "RHO1 1 -2 2 -1 0 0 -0.25 | 0 -2 0 .50 .0058 | 0 -1 0 .0 .1882 | 1 0 0 .75 .0131 R1 | 2 0 0 .50 .0576"
    " | 2 1 0 .0 .0175",
    "O1 1 -1 0 0 0 0 -0.25 | -1 0 0 .25 .0003 R1 | 0 -2 0 .50 .0058 | 0 -1 0 .0 .1885 | 1 -1 0 .25 .0004 R1"
    " | 1 0 0 .75 .0029 R1 | 1 1 0 .25 .0004 R1 | 2 0 0 .50 .0064 | 2 1 0 .50 .0010",
    "TAU1 1 -1 2 0 0 0 -0.75 | -2 0 0 .0 .0446 | -1 0 0 .25 .0426 R1 | 0 -1 0 .50 .0284 | 0 1 0 .50 .2170"
    " | 0 2 0 .50 .0142",
    "BET1 1 0 -2 1 0 0 -0.75 | 0 -1 0 .00 .2266",
    "NO1 1 0 0 1 0 0 -0.75 | -2 -2 0 .50 .0057 | -2 -1 0 .0 .0665 | -2 0 0 .0 .3596 | -1 -1 0 .75 .0331 R1"
    " | -1 0 0 .25 .2227 R1 | -1 1 0 .75 .0290 R1 | 0 -1 0 .50 .0290 | 0 1 0 .0 .2004 | 0 2 0 .50 .0054",
    "CHI1 1 0 2 -1 0 0 -0.75 | 0 -1 0 .50 .0282 | 0 1 0 .0 .2187",
    "PI1 1 1 -3 0 0 1 -0.25 | 0 -1 0 .50 .0078",
    "P1 1 1 -2 0 0 0 -0.25 | 0 -2 0 .0 .0008 | 0 -1 0 .50 .0112 | 0 0 2 .50 .0004 | 1 0 0 .75 .0004 R1"
    " | 2 0 0 .50 .0015 | 2 1 0 .50 .0003",
    "S1 1 1 -1 0 0 1 -0.75 | 0 0 -2 .0 .3534 | 0 1 0 .50 .0264",
    "K1 1 1 0 0 0 0 -0.75 | -2 -1 0 .0 .0002 | -1 -1 0 .75 .0001 R1 | -1 0 0 .25 .0007 R1 | -1 1 0 .75 .0001 R1"
    " | 0 -2 0 .0 .0001 | 0 -1 0 .50 .0198 | 0 1 0 .0 .1356 | 0 2 0 .50 .0029 | 1 0 0 .25 .0002 R1"
    " | 1 1 0 .25 .0001 R1",
    "PSI1 1 1 1 0 0 -1 -0.75 | 0 1 0 .0 .0190",
    "PHI1 1 1 2 0 0 0 -0.75 | -2 0 0 .0 .0344 | -2 1 0 .0 .0106 | 0 0 -2 .0 .0132 | 0 1 0 .50 .0384"
    " | 0 2 0 .50 .0185",
    "THE1 1 2 -2 1 0 0 -0.75 | -2 -1 0 .00 .0300 | -1 0 0 .25 .0141 R1 | 0 -1 0 .50 .0317 | 0 1 0 .00 .1993",
    "J1 1 2 0 -1 0 0 -0.75 | 0 -1 0 .50 .0294 | 0 1 0 .0 .1980 | 0 2 0 .50 .0047 | 1 -1 0 .75 .0027 R1"
    " | 1 0 0 .25 .0816 R1 | 1 1 0 .25 .0331 R1 | 1 2 0 .25 .0027 R1 | 2 0 0 .50 .0152 | 2 1 0 .50 .0098"
    " | 2 2 0 .50 .0057",
    "OO1 1 3 0 0 0 0 -0.75 | -2 -1 0 .50 .0037 | -2 0 0 .0 .1496 | -2 1 0 .0 .0296 | -1 0 0 .25 .0240 R1"
    " | -1 1 0 .25 .0099 R1 | 0 1 0 .0 .6398 | 0 2 0 .0 .1342 | 0 3 0 .0 .0086",
    "UPS1 1 4 0 -1 0 0 -0.75 | -2 0 0 .00 .0611 | 0 1 0 .00 .6399 | 0 2 0 .00 .1318 | 1 0 0 .25 .0289 R1"
    " | 1 1 0 .25 .0257 R1",
    "OQ2 2 -3 0 3 0 0 0.0 | -1 0 0 .25 .1042 R2 | 0 -1 0 .50 .0386",
    "EPS2 2 -3 2 1 0 0 0.0 | -1 -1 0 .25 .0075 R2 | -1 0 0 .25 .0402 R2 | 0 -1 0 .50 .0373",
    "2N2 2 -2 0 2 0 0 0.0 | -2 -2 0 .50 .0061 | -1 -1 0 .25 .0117 R2 | -1 0 0 .25 .0678 R2 | 0 -1 0 .50 .0374",
    "MU2 2 -2 2 0 0 0 0.0 | -1 -1 0 .25 .0018 R2 | -1 0 0 .25 .0104 R2 | 0 -1 0 .50 .0375",
    "N2 2 -1 0 1 0 0 0.0 | -2 -2 0 .50 .0039 | -1 0 1 .00 .0008 | 0 -2 0 .00 .0005 | 0 -1 0 .50 .0373",
    "NU2 2 -1 2 -1 0 0 0.0 | 0 -1 0 .50 .0373 | 1 0 0 .75 .0042 R2 | 2 0 0 .0 .0042 | 2 1 0 .50 .0036",
    "GAM2 2 0 -2 2 0 0 -0.50 | -2 -2 0 .00 .1429 | -1 0 0 .25 .0293 R2 | 0 -1 0 .50 .0330",
    "H1 2 0 -1 0 0 1 -0.50 | 0 -1 0 .50 .0224 | 1 0 -1 .50 .0447",
    "M2 2 0 0 0 0 0 0.0 | -1 -1 0 .75 .0001 R2 | -1 0 0 .75 .0004 R2 | 0 -2 0 .0 .0005 | 0 -1 0 .50 .0373"
    " | 1 -1 0 .25 .0001 R2 | 1 0 0 .75 .0009 R2 | 1 1 0 .75 .0002 R2 | 2 0 0 .0 .0006 | 2 1 0 .0 .0002",
    "H2 2 0 1 0 0 -1 0.0 | 0 -1 0 .50 .0217",
    "LDA2 2 1 -2 1 0 0 -0.50 | 0 -1 0 .50 .0448",
    "L2 2 1 0 -1 0 0 -0.50 | 0 -1 0 .50 .0366 | 2 -1 0 .00 .0047 | 2 0 0 .50 .2505 | 2 1 0 .50 .1102"
    " | 2 2 0 .50 .0156",
    "T2 2 2 -3 0 0 1 0.0",
    "S2 2 2 -2 0 0 0 0.0 | 0 -1 0 .0 .0022 | 1 0 0 .75 .0001 R2 | 2 0 0 .0 .0001",
    "R2 2 2 -1 0 0 -1 -0.50 | 0 0 2 .50 .2535 | 0 1 2 .0 .0141",
    "K2 2 2 0 0 0 0 0.0 | -1 0 0 .75 .0024 R2 | -1 1 0 .75 .0004 R2 | 0 -1 0 .50 .0128 | 0 1 0 .0 .2980"
    " | 0 2 0 .0 .0324",
    "ETA2 2 3 0 -1 0 0 0.0 | 0 -1 0 .50 .0187 | 0 1 0 .0 .4355 | 0 2 0 .0 .0467 | 1 0 0 .75 .0747 R2"
    " | 1 1 0 .75 .0482 R2 | 1 2 0 .75 .0093 R2 | 2 0 0 .50 .0078",
    "M3 3 0 0 0 0 0 -0.50 | 0 -1 0 .50 .0564",
};

// Foreman (2004), Appendix 3: each shallow-water constituent as a sum of
// astronomical ones (factor and name).
constexpr const char* kShallow[] = {
    "2PO1 2 P1 -1 O1",          "SO1 1 S2 -1 O1",
    "ST36 2 M2 1 N2 -2 S2",     "2NS2 2 N2 -1 S2",
    "ST37 3 M2 -2 S2",          "ST1 2 N2 1 K2 -2 S2",
    "ST2 1 M2 1 N2 1 K2 -2 S2", "ST3 2 M2 1 S2 -2 K2",
    "O2 2 O1",                  "ST4 2 K2 1 N2 -2 S2",
    "SNK2 1 S2 1 N2 -1 K2",     "OP2 1 O1 1 P1",
    "MKS2 1 M2 1 K2 -1 S2",     "ST5 1 M2 2 K2 -2 S2",
    "ST6 2 S2 1 N2 -1 M2 -1 K2", "2SK2 2 S2 -1 K2",
    "MSN2 1 M2 1 S2 -1 N2",     "ST7 2 K2 1 M2 -1 S2 -1 N2",
    "2SM2 2 S2 -1 M2",          "ST38 2 M2 1 S2 -2 N2",
    "SKM2 1 S2 1 K2 -1 M2",     "2SN2 2 S2 -1 N2",
    "NO3 1 N2 1 O1",            "MO3 1 M2 1 O1",
    "NK3 1 N2 1 K1",            "SO3 1 S2 1 O1",
    "MK3 1 M2 1 K1",            "SP3 1 S2 1 P1",
    "SK3 1 S2 1 K1",            "ST8 2 M2 1 N2 -1 S2",
    "N4 2 N2",                  "3MS4 3 M2 -1 S2",
    "ST39 1 M2 1 S2 1 N2 -1 K2", "MN4 1 M2 1 N2",
    "ST40 2 M2 1 S2 -1 K2",     "ST9 1 M2 1 N2 1 K2 -1 S2",
    "M4 2 M2",                  "ST10 2 M2 1 K2 -1 S2",
    "SN4 1 S2 1 N2",            "KN4 1 K2 1 N2",
    "MS4 1 M2 1 S2",            "MK4 1 M2 1 K2",
    "SL4 1 S2 1 L2",            "S4 2 S2",
    "SK4 1 S2 1 K2",            "MNO5 1 M2 1 N2 1 O1",
    "2MO5 2 M2 1 O1",           "3MP5 3 M2 -1 P1",
    "MNK5 1 M2 1 N2 1 K1",      "2MP5 2 M2 1 P1",
    "2MK5 2 M2 1 K1",           "MSK5 1 M2 1 S2 1 K1",
    "3KM5 1 K2 1 K1 1 M2",      "2SK5 2 S2 1 K1",
    "ST11 3 N2 1 K2 -1 S2",     "2NM6 2 N2 1 M2",
    "ST12 2 N2 1 M2 1 K2 -1 S2", "ST41 3 M2 1 S2 -1 K2",
    "2MN6 2 M2 1 N2",           "ST13 2 M2 1 N2 1 K2 -1 S2",
    "M6 3 M2",                  "MSN6 1 M2 1 S2 1 N2",
    "MKN6 1 M2 1 K2 1 N2",      "ST42 2 M2 2 S2 -1 K2",
    "2MS6 2 M2 1 S2",           "2MK6 2 M2 1 K2",
    "NSK6 1 N2 1 S2 1 K2",      "2SM6 2 S2 1 M2",
    "MSK6 1 M2 1 S2 1 K2",      "S6 3 S2",
    "ST14 2 M2 1 N2 1 O1",      "ST15 2 N2 1 M2 1 K1",
    "M7 3.5 M2",                "ST16 2 M2 1 S2 1 O1",
    "3MK7 3 M2 1 K1",           "ST17 1 M2 1 S2 1 K2 1 O1",
    "ST18 2 M2 2 N2",           "3MN8 3 M2 1 N2",
    "ST19 3 M2 1 N2 1 K2 -1 S2", "M8 4 M2",
    "ST20 2 M2 1 S2 1 N2",      "ST21 2 M2 1 N2 1 K2",
    "3MS8 3 M2 1 S2",           "3MK8 3 M2 1 K2",
    "ST22 1 M2 1 S2 1 N2 1 K2", "ST23 2 M2 2 S2",
    "ST24 2 M2 1 S2 1 K2",      "ST25 2 M2 2 N2 1 K1",
    "ST26 3 M2 1 N2 1 K1",      "4MK9 4 M2 1 K1",
    "ST27 3 M2 1 S2 1 K1",      "ST28 4 M2 1 N2",
    "M10 5 M2",                 "ST29 3 M2 1 N2 1 S2",
    "ST30 4 M2 1 S2",           "ST31 2 M2 1 N2 1 S2 1 K2",
    "ST32 3 M2 2 S2",           "ST33 4 M2 1 S2 1 K1",
    "M12 6 M2",                 "ST34 5 M2 1 S2",
    "ST35 3 M2 1 N2 1 K2 1 S2",
};

// The standard automatic choice (Foreman 2004, Appendix 1; 45 astronomical
// and 24 shallow-water constituents): each with the neighbour it must be
// resolved from by the Rayleigh criterion.
constexpr const char* kComparisons[][2] = {
    {"SA", "SSA"},   {"SSA", "Z0"},   {"MSM", "MM"},   {"MM", "MSF"},   {"MSF", "Z0"},   {"MF", "MSF"},
    {"ALP1", "2Q1"}, {"2Q1", "Q1"},   {"SIG1", "2Q1"}, {"Q1", "O1"},    {"RHO1", "Q1"},  {"O1", "K1"},
    {"TAU1", "O1"},  {"BET1", "NO1"}, {"NO1", "K1"},   {"CHI1", "NO1"}, {"PI1", "P1"},   {"P1", "K1"},
    {"S1", "K1"},    {"K1", "Z0"},    {"PSI1", "K1"},  {"PHI1", "K1"},  {"THE1", "J1"},  {"J1", "K1"},
    {"SO1", "OO1"},  {"OO1", "J1"},   {"UPS1", "OO1"}, {"OQ2", "EPS2"}, {"EPS2", "2N2"}, {"2N2", "MU2"},
    {"MU2", "N2"},   {"N2", "M2"},    {"NU2", "N2"},   {"GAM2", "H1"},  {"H1", "M2"},    {"M2", "Z0"},
    {"H2", "M2"},    {"MKS2", "M2"},  {"LDA2", "L2"},  {"L2", "S2"},    {"T2", "S2"},    {"S2", "M2"},
    {"R2", "S2"},    {"K2", "S2"},    {"MSN2", "ETA2"}, {"ETA2", "K2"}, {"MO3", "M3"},   {"M3", "M2"},
    {"SO3", "MK3"},  {"MK3", "M3"},   {"SK3", "MK3"},  {"MN4", "M4"},   {"M4", "M3"},    {"SN4", "M4"},
    {"MS4", "M4"},   {"MK4", "MS4"},  {"S4", "MS4"},   {"SK4", "S4"},   {"2MK5", "M4"},  {"2SK5", "2MK5"},
    {"2MN6", "M6"},  {"M6", "2MK5"},  {"2MS6", "M6"},  {"2MK6", "2MS6"}, {"2SM6", "2MS6"}, {"MSK6", "2SM6"},
    {"3MK7", "M6"},  {"M8", "3MK7"},
};

double Cycles(double x) { return x - std::floor(x); }

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

void ParseAstronomical(const char* line, TideConstituent& c) {
  std::string text(line);
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::istringstream head(parts[0]);
  head >> c.name;
  for (int& d : c.doodson) head >> d;
  head >> c.semi;
  for (size_t i = 1; i < parts.size(); ++i) {
    std::istringstream in(parts[i]);
    TideSatellite s;
    in >> s.delta[0] >> s.delta[1] >> s.delta[2] >> s.phase >> s.ratio;
    std::string flag;
    if (in >> flag) s.latitudeFactor = flag == "R1" ? 1 : flag == "R2" ? 2 : 0;
    c.satellites.push_back(s);
  }
}

std::vector<TideConstituent> BuildTable() {
  std::vector<TideConstituent> table;
  const std::array<double, 6>& rates = ArgumentRates();
  for (const char* line : kAstronomical) {
    TideConstituent c;
    ParseAstronomical(line, c);
    for (size_t i = 0; i < 6; ++i) c.frequency += c.doodson[i] * rates[i];
    table.push_back(std::move(c));
  }
  const size_t astronomical = table.size();
  auto index = [&](const std::string& name) {
    for (size_t i = 0; i < astronomical; ++i)
      if (table[i].name == name) return static_cast<int>(i);
    return -1;
  };
  for (const char* line : kShallow) {
    std::istringstream in(line);
    TideConstituent c;
    c.shallow = true;
    in >> c.name;
    double factor = 0;
    std::string name;
    while (in >> factor >> name) {
      const int k = index(name);
      if (k < 0) continue;
      c.terms.push_back({k, factor});
      c.frequency += factor * table[static_cast<size_t>(k)].frequency;
    }
    table.push_back(std::move(c));
  }
  // Shallow-water and astronomical constituents of one species sit together,
  // in order of frequency.
  std::stable_sort(table.begin(), table.end(),
                   [](const TideConstituent& a, const TideConstituent& b) { return a.frequency < b.frequency; });
  auto find = [&](const char* name) {
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i].name == name) return static_cast<int>(i);
    return -1;
  };
  // Terms refer to the astronomical constituents by their new places.
  std::vector<int> moved(astronomical, -1);
  for (size_t i = 0; i < astronomical; ++i) {
    std::istringstream head(kAstronomical[i]);
    std::string name;
    head >> name;
    moved[i] = find(name.c_str());
  }
  for (TideConstituent& c : table)
    for (TideShallowTerm& t : c.terms) t.constituent = moved[static_cast<size_t>(t.constituent)];
  for (const auto& pair : kComparisons) table[static_cast<size_t>(find(pair[0]))].comparison = find(pair[1]);
  return table;
}

}  // namespace

const std::array<double, 6>& ArgumentRates() {
  // Degrees per day of the 1961 polynomials below, as cycles per hour;
  // tau turns once a lunar day (360 + h - s degrees a day).
  static const std::array<double, 6> rates = [] {
    const double s = 13.1763965268, h = 0.9856473354, p = 0.1114040803, n = -0.0529539222, pp = 0.0000470684;
    return std::array<double, 6>{(360.0 + h - s) / 360.0 / 24.0, s / 360.0 / 24.0, h / 360.0 / 24.0,
                                 p / 360.0 / 24.0, -n / 360.0 / 24.0, pp / 360.0 / 24.0};
  }();
  return rates;
}

AstronomicalArguments ArgumentsAt(TideHours t) {
  // Explanatory Supplement (1961): d in days from 1899 Dec 31 12h, T in
  // Julian centuries. 2000-01-01 00h is day 36524.5 of that count.
  const double days2000 = t / 24.0;
  const double d = days2000 + 36524.5;
  const double T = d / 36525.0;
  const double T2 = T * T, T3 = T2 * T;
  const double s = 270.434164 + 13.1763965268 * d - 0.0000850 * T2 + 0.000000039 * T3;
  const double h = 279.696678 + 0.9856473354 * d + 0.00002267 * T2;
  const double p = 334.329556 + 0.1114040803 * d - 0.0007739 * T2 - 0.00000026 * T3;
  const double n = 259.183275 - 0.0529539222 * d + 0.0001557 * T2 + 0.00000005 * T3;
  const double pp = 281.220844 + 0.0000470684 * d + 0.0000339 * T2 + 0.00000007 * T3;
  AstronomicalArguments a;
  const double dayFraction = days2000 - std::floor(days2000);  // UT from midnight
  a.cycles = {Cycles(dayFraction + (h - s) / 360.0), Cycles(s / 360.0), Cycles(h / 360.0),
              Cycles(p / 360.0), Cycles(-n / 360.0), Cycles(pp / 360.0)};
  return a;
}

const std::vector<TideConstituent>& TideConstituents() {
  static const std::vector<TideConstituent> table = BuildTable();
  return table;
}

std::optional<int> FindTideConstituent(std::string_view name) {
  static const std::unordered_map<std::string, int> index = [] {
    std::unordered_map<std::string, int> m;
    const auto& table = TideConstituents();
    for (size_t i = 0; i < table.size(); ++i) m[table[i].name] = static_cast<int>(i);
    m["THETA1"] = m.at("THE1");
    m["LAMBDA2"] = m.at("LDA2");
    return m;
  }();
  const auto it = index.find(Upper(name));
  if (it == index.end()) return std::nullopt;
  return it->second;
}

namespace {

struct LatitudeFactors {
  double r1 = 0, r2 = 0;
};

LatitudeFactors FactorsAt(double latitudeDegrees) {
  const double lat =
      std::fabs(latitudeDegrees) < 5.0 ? (latitudeDegrees < 0 ? -5.0 : 5.0) : latitudeDegrees;
  const double sinLat = std::sin(lat * kPi / 180.0);
  // Foreman (1977), section 2.1: the latitude factors of the satellites
  // that come from the second-order terms of the potential.
  return {0.36309 * (1.0 - 5.0 * sinLat * sinLat) / sinLat, 2.59808 * sinLat};
}

NodalCorrection Astronomical(const TideConstituent& c, const AstronomicalArguments& a, const LatitudeFactors& r) {
  double v = c.semi;
  for (size_t k = 0; k < 6; ++k) v += c.doodson[k] * a.cycles[k];
  std::complex<double> sum(1.0, 0.0);
  for (const TideSatellite& s : c.satellites) {
    const double ratio = s.ratio * (s.latitudeFactor == 1 ? r.r1 : s.latitudeFactor == 2 ? r.r2 : 1.0);
    const double angle = s.delta[0] * a.cycles[3] + s.delta[1] * a.cycles[4] + s.delta[2] * a.cycles[5] + s.phase;
    sum += ratio * std::polar(1.0, 2.0 * kPi * angle);
  }
  return {std::abs(sum), std::arg(sum) / (2.0 * kPi), Cycles(v)};
}

NodalCorrection Combined(const TideConstituent& c, const std::vector<NodalCorrection>& parts) {
  NodalCorrection n{1.0, 0.0, 0.0};
  for (size_t i = 0; i < c.terms.size(); ++i) {
    const NodalCorrection& m = parts[i];
    const double factor = c.terms[i].factor;
    n.f *= std::pow(m.f, std::fabs(factor));
    n.u += factor * m.u;
    n.v += factor * m.v;
  }
  n.v = Cycles(n.v);
  return n;
}

}  // namespace

NodalCorrection NodalCorrectionOf(int index, const AstronomicalArguments& a, double latitudeDegrees) {
  const auto& table = TideConstituents();
  const TideConstituent& c = table[static_cast<size_t>(index)];
  const LatitudeFactors r = FactorsAt(latitudeDegrees);
  if (!c.shallow) return Astronomical(c, a, r);
  std::vector<NodalCorrection> parts;
  for (const TideShallowTerm& t : c.terms) parts.push_back(Astronomical(table[static_cast<size_t>(t.constituent)], a, r));
  return Combined(c, parts);
}

std::vector<NodalCorrection> NodalCorrections(TideHours t, double latitudeDegrees) {
  const auto& table = TideConstituents();
  const AstronomicalArguments a = ArgumentsAt(t);
  const LatitudeFactors r = FactorsAt(latitudeDegrees);
  std::vector<NodalCorrection> out(table.size());
  for (size_t i = 0; i < table.size(); ++i)
    if (!table[i].shallow) out[i] = Astronomical(table[i], a, r);
  for (size_t i = 0; i < table.size(); ++i) {
    const TideConstituent& c = table[i];
    if (!c.shallow) continue;
    std::vector<NodalCorrection> parts;
    for (const TideShallowTerm& term : c.terms) parts.push_back(out[static_cast<size_t>(term.constituent)]);
    out[i] = Combined(c, parts);
  }
  return out;
}

}  // namespace tmv
