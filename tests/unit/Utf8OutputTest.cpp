// The tool's output as UTF-8: the program's Latin-1 texts converted, UTF-8
// passed through, and a sequence cut by a flush kept whole.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

#include "Utf8Output.h"

namespace tmv::cli {
namespace {

TEST(Utf8Output, Latin1BytesBecomeUtf8AndUtf8StaysAsItIs) {
  EXPECT_EQ(AsUtf8("Concentration(\xB5Mol/l) 12\xB0" "C"), "Concentration(\xC2\xB5Mol/l) 12\xC2\xB0" "C");
  EXPECT_EQ(AsUtf8("/data/\xC3\xA9t\xC3\xA9.hex"), "/data/\xC3\xA9t\xC3\xA9.hex");  // a UTF-8 file name
  EXPECT_EQ(AsUtf8("\xE2\x82\xAC \xF0\x9F\x8C\x8A"), "\xE2\x82\xAC \xF0\x9F\x8C\x8A");
  // A lead byte without its continuation, an overlong form: Latin-1 bytes.
  EXPECT_EQ(AsUtf8("a\xC3" "b"), "a\xC3\x83" "b");
  EXPECT_EQ(AsUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");
}

TEST(Utf8Output, StreamPassesLinesAndFlushesAndKeepsACutSequenceWhole) {
  std::stringstream target;
  Utf8OutputBuffer buffer(target.rdbuf());
  std::ostream out(&buffer);
  out << "max 300 \xB5Mol/l\nrest";
  EXPECT_EQ(target.str(), "max 300 \xC2\xB5Mol/l\n");  // whole lines go at once
  out << std::flush;
  EXPECT_EQ(target.str(), "max 300 \xC2\xB5Mol/l\nrest");
  // A UTF-8 sequence split by a flush is held until its end comes.
  out << "\xC3" << std::flush;
  EXPECT_EQ(target.str(), "max 300 \xC2\xB5Mol/l\nrest");
  out << "\xA9\n";
  EXPECT_EQ(target.str(), "max 300 \xC2\xB5Mol/l\nrest\xC3\xA9\n");
  out.put('\xB0');
  out << std::flush;
  EXPECT_EQ(target.str(), "max 300 \xC2\xB5Mol/l\nrest\xC3\xA9\n\xC2\xB0");
}

}  // namespace
}  // namespace tmv::cli
