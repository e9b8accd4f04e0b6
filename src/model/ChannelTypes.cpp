#include "model/ChannelTypes.h"

#include <cstdio>

#include "shell/Catalogue.h"

namespace tmv {

namespace {

// Short labels are byte for byte what the data-file headings carry; 0xB5 is µ
// in the files' 8-bit character set.
constexpr std::array<ChannelType, kChannelTypeCount> kTypes = {{
    {'T', "T     Temp ", "%2d - Temperature", 0, "Degrees_C"},
    {'P', "P     Pres ", "%2d - Pressure", 1, "deciBars"},
    {'C', "C     Cond ", "%2d - Conductivity", 1, nullptr},
    {'D', "D     D_O2 ", "%2d - Dissolved O2", 1, "percent"},
    {'N', "N    Trans ", "%2d - Transmissometer", 0, "Transmittance"},
    {'M', "M      Vlt ", "%2d - Voltage", 0, "Volts"},
    {'V', "V     Volt ", "%2d - Voltage", 1, "Volts"},
    {'Y', "Y     Turb ", "%2d - Turbidity", 2, "NTU"},
    {'y', "y   Turb-a ", "%2d - Turbidity", 2, "NTU"},
    {'R', "R      PAR ", "%2d - PAR", 1, "\xB5Mol.m-2.s-1"},
    {'H', "H       pH ", "%2d - pH", 1, "pH_units"},
    {'F', "F      FlC ", "%2d - Fluorometry-C", 2, "ug/l"},
    {'f', "f    FlC-a ", "%2d - Fluorometry-C", 2, "ug/l"},
    {'G', "G      FlR ", "%2d - Fluorometry-R", 2, "ug/l"},
    {'g', "g    FlR-a ", "%2d - Fluorometry-R", 2, "ug/l"},
    {'Z', "Z     FlPe ", "%2d - Fluorometry-Pe", 2, "ug/l"},
    {'z', "z   FlPe-a ", "%2d - Fluorometry-Pe", 2, "ug/l"},
    {'I', "I     FlUV ", "%2d - Fluorometry-UV", 2, "ug/l"},
    {'i', "i   FlUV-a ", "%2d - Fluorometry-UV", 2, "ug/l"},
    {'E', "E     Echo ", nullptr, 1, "m"},
    {'A', "A    Depth ", "%2d - Depth", 2, "m"},
    {'S', "S Salinity ", "%2d - Salinity ", 2, "Unknown"},
    {'s', "s SpecCond ", "%2d - Specific Cond", 1, nullptr},
    {'u', "u SoS (UN) ", "%2d - Speed of sound", 1, "Unknown"},
    {'d', "dSoS (Grs) ", "%2d - Speed of sound", 1, "Unknown"},
    {'W', "WSoS (Wil) ", "%2d - Speed of sound", 1, "Unknown"},
    {'X', "X      dO2 ", nullptr, 0, "Unknown"},
    {'L', "L     Paro ", "%2d - Paroscientific", 0, "deciBars"},
    {'K', "K     Optd ", "%2d - Optode (sat)", 0, "percent"},
    {'J', "JOptd_\xB5Mol ", "%2d - Optode (conc) ", 0, "\xB5Mol/l"},
    {0x87, "\x87 CorrCond ", "%2d - Conductivity", 2, "Unknown"},
    {0x86, "\x86 DensAnom ", "%2d - Density (kg/m3)", 0, "Unknown"},
    {0x85, "\x85    Depth ", "%2d - Depth", 2, "Unknown"},
    {0x83, "\x83     dO2C ", "%2d - Dissolved O2", 0, "Unknown"},
    {0x84, "\x84     dO2S ", "%2d - Dissolved O2", 0, "Unknown"},
    {0x81, "\x81      SWH ", "%2d - Sig wave ht", 0, "Unknown"},
    {0x82, "\x82 Td_Slope ", "%2d - Tidal slope", 1, "Unknown"},
    {'B', "B  Generic ", "%2d - Generic", 0, "Generic"},
}};

constexpr std::array<SensorModule, kSensorModuleCount> kModules = {{
    {'V', 'V', 200, 0, 7, "Voltage (rollover)"},
    {'M', 'M', 200, 0, 7, "Voltage (monotonic)"},
    {'D', 'D', 200, 0, 7, "Dissolved oxygen"},
    {'F', 'f', 460, 460, 5, "Fluorometry-C Autoranging"},
    {'G', 'g', 460, 460, 5, "Fluorometry-R Autoranging"},
    {'Z', 'z', 460, 460, 5, "Fluorometry-P Autoranging"},
    {'I', 'i', 5860, 460, 5, "Fluorometry-UV Autoranging"},
    {'F', 'F', 460, 0, 7, "Fluorometry-C"},
    {'G', 'G', 460, 0, 7, "Fluorometry-R"},
    {'Z', 'Z', 460, 0, 7, "Fluorometry-P"},
    {'I', 'I', 4860, 0, 7, "Fluorometry-UV"},
    {'R', 'R', 2860, 0, 7, "PAR - Biospherical"},
    {'R', 'R', 200, 0, 7, "PAR - Licor"},
    {'H', 'H', 200, 0, 7, "pH"},
    {'N', 'N', 4860, 0, 7, "Transmissometer"},
    {'Y', 'y', 860, 860, 6, "Turbidity - Autoranging"},
    {'Y', 'Y', 860, 0, 7, "Turbidity"},
}};

constexpr const char* kGainTexts[4][4] = {
    {"25NTU", "125NTU", "500NTU", "2500NTU"},
    {"5ug/l", "15ug/l", "50ug/l", "150ug/l"},
    {"50ug/l", "150ug/l", "500ug/l", "1500ug/l"},
    {"30ug/l", "90ug/l", "300ug/l", "900ug/l"},
};

bool ValidChannel(int channel) { return channel >= 0 && channel < kMaxChannels; }

}  // namespace

const std::array<ChannelType, kChannelTypeCount>& ChannelTypeTable() { return kTypes; }
const std::array<SensorModule, kSensorModuleCount>& SensorModuleTable() { return kModules; }

int ChannelTypeRowForCode(uint8_t code) {
  for (int row = 0; row < kChannelTypeCount; ++row)
    if (kTypes[row].code == code) return row;
  return kUnknownChannelTypeRow;
}

uint8_t ChannelCode(const LoggerInfo& info, int channel) {
  return ValidChannel(channel) ? info.channelTypes[channel] : 0;
}

int ChannelTypeRow(const LoggerInfo& info, int channel) {
  if (!ValidChannel(channel)) return kUnknownChannelTypeRow;
  return ChannelTypeRowForCode(info.channelTypes[channel]);
}

std::string ChannelLabel(const LoggerInfo& info, int channel) {
  const int row = ChannelTypeRow(info, channel);
  if (row == kUnknownChannelTypeRow) return Format("%2d - Unknown", channel + 1);
  const ChannelType& type = kTypes[row];
  if (type.labelFormat != nullptr) return Format(type.labelFormat, channel + 1);
  // Echo and dO2 rows carry no list label; their heading names them instead.
  std::string heading(type.shortLabel + 1);
  const size_t first = heading.find_first_not_of(' ');
  const size_t last = heading.find_last_not_of(' ');
  heading = first == std::string::npos ? std::string() : heading.substr(first, last - first + 1);
  return Format("%2d - %s", channel + 1, heading.c_str());
}

std::string ChannelShortLabel(const LoggerInfo& info, int channel) {
  const int row = ChannelTypeRow(info, channel);
  if (row == kUnknownChannelTypeRow) {
    std::string label(1, static_cast<char>(ChannelCode(info, channel)));
    return label + "  Unknown ";
  }
  return kTypes[row].shortLabel;
}

int ChannelRangeClass(const LoggerInfo& info, int channel) {
  const int row = ChannelTypeRow(info, channel);
  return row == kUnknownChannelTypeRow ? 0 : kTypes[row].rangeClass;
}

int LimitsCategory(uint8_t code) {
  switch (code) {
    case 'T': return 0;
    case 'P': case 'L': return 1;                // pressure, Paroscientific
    case 'C': case 's': case 0x87: return 2;     // conductivity, specific, corrected
    case 'D': case 'K': case 0x84: return 3;     // oxygen saturation
    case 'J': case 'X': case 0x83: return 4;     // oxygen concentration
    case 'M': case 'V': return 5;
    case 'Y': case 'y': return 6;
    case 'R': return 7;
    case 'H': return 8;
    case 'F': case 'f': return 9;
    case 'G': case 'g': return 10;
    case 'I': case 'i': return 11;
    case 'A': case 'E': case 0x85: return 12;    // echo sounders share the depth range
    case 'S': return 13;
    case 'u': case 'd': case 'W': return 14;
    case 0x81: return 15;
    case 0x82: return 16;
    case 'N': return 17;
    default: return kNoLimitsCategory;
  }
}

const char* ConductivityUnit(const LoggerInfo& info) {
  return info.conductivityMilliSiemens ? "mS/cm" : "uS/cm";
}

const char* ChannelUnit(const LoggerInfo& info, int channel) {
  const int row = ChannelTypeRow(info, channel);
  if (row == kUnknownChannelTypeRow) return "Unknown";
  return kTypes[row].unit != nullptr ? kTypes[row].unit : ConductivityUnit(info);
}

void ExtendRawRange(const LoggerInfo& info, int channel, int32_t& raw) {
  constexpr int32_t kSpan = 1 << 24;
  if (!ValidChannel(channel)) return;
  if (info.extendedRange[channel + 1] & 0x01) {
    int rangeClass = ChannelRangeClass(info, channel);
    if (info.channelTypes[channel] == 'A' && info.engineeringUnitsLevel == 1) rangeClass = 1;
    if ((rangeClass == 2 && raw >= 0xFD70A2) || (rangeClass == 1 && raw >= 0xDFFFFF)) raw -= kSpan;
    return;
  }
  if (raw & 0x01) raw = (raw & 0x800000) ? raw - kSpan : raw + kSpan;
}

const char* GainRangeText(GainRow row, int gainIndex) {
  if (gainIndex < 0 || gainIndex > 3) return "Unknown";
  return kGainTexts[static_cast<int>(row)][gainIndex];
}

}  // namespace tmv
