// The --json writer: text that a JSON reader takes back whatever the
// program's locale, and whatever bytes a logger's texts hold.
#include <gtest/gtest.h>

#include <limits>
#include <locale>

#include "Json.h"
#include "model/LoggerTime.h"

namespace tmv::cli {
namespace {

// A global C++ locale whose decimal point is a comma, as a German or French
// desktop would have; built by hand so the test needs no installed locale.
struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

class JsonUnderCommaLocale : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal)); }
  void TearDown() override { std::locale::global(saved_); }
  std::locale saved_;
};

TEST_F(JsonUnderCommaLocale, NumbersKeepTheDecimalPointAndShortestForm) {
  JsonWriter w;
  w.BeginArray().Number(12.5).Number(12.1f).Number(-0.000125).Number(1e21).Integer(1234567).Number(35.0f).EndArray();
  EXPECT_EQ(w.Text(), "[12.5,12.1,-0.000125,1e+21,1234567,35]");
}

TEST(JsonWriter, ValuesThatAreNoNumberBecomeNull) {
  JsonWriter w;
  w.BeginArray()
      .Number(std::numeric_limits<double>::quiet_NaN())
      .Number(std::numeric_limits<float>::infinity())
      .Number(-std::numeric_limits<double>::infinity())
      .EndArray();
  EXPECT_EQ(w.Text(), "[null,null,null]");
}

TEST(JsonWriter, StringsEscapeQuotesControlsAndTakeLatin1AsSuch) {
  EXPECT_EQ(JsonQuoted("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonQuoted("line\r\n\tend"), R"("line\r\n\tend")");
  EXPECT_EQ(JsonQuoted(std::string("nul\0x", 5)), R"("nul\u0000x")");
  EXPECT_EQ(JsonQuoted("\x01\x1f\x7f"), R"("\u0001\u001f\u007f")");
  // The logger's micro sign is the byte 0xB5; UTF-8 that is already there stays.
  EXPECT_EQ(JsonQuoted("\xB5S/cm"), "\"\xC2\xB5S/cm\"");
  EXPECT_EQ(JsonQuoted("\xC2\xB5S/cm"), "\"\xC2\xB5S/cm\"");
  // A cut-off UTF-8 sequence is no UTF-8: each byte is taken as Latin-1.
  EXPECT_EQ(JsonQuoted("\xE2\x82"), "\"\xC3\xA2\xC2\x82\"");
}

TEST(JsonWriter, ObjectsAndArraysNestWithCommasOnlyBetweenMembers) {
  JsonWriter w;
  w.BeginObject().Key("a").BeginArray().EndArray().Key("b").BeginObject().Key("c").Null().EndObject();
  w.Key("d").BeginArray().Bool(true).BeginObject().EndObject().String("x").EndArray().EndObject();
  EXPECT_EQ(w.Text(), R"({"a":[],"b":{"c":null},"d":[true,{},"x"]})");
}

TEST(JsonWriter, TimesAreIsoAndImpossibleTimesNull) {
  JsonWriter w;
  w.BeginArray().Time(LoggerTime{2027, 1, 0, 15, 8, 0, 0, 0}).Time(LoggerTime{2027, 13, 0, 1, 0, 0, 0, 0}).EndArray();
  EXPECT_EQ(w.Text(), R"(["2027-01-15T08:00:00",null])");
}

TEST(JsonWriter, LabelsBecomeSnakeCaseKeys) {
  EXPECT_EQ(SnakeCase("Sampling at 1Hz"), "sampling_at_1hz");
  EXPECT_EQ(SnakeCase("!12 Commands"), "12_commands");
  EXPECT_EQ(SnakeCase("SD Memory Card"), "sd_memory_card");
}

}  // namespace
}  // namespace tmv::cli
