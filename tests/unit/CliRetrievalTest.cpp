// The tool's download, convert and the commands that read the logger's
// deployment, run in-process against the emulated logger: what they ask the
// logger, what they write, and the exit status that says how it went.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CliSupport.h"
#include "files/DataFileIo.h"
#include "files/WorkFiles.h"
#include "support/CliRig.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

using test::CliRig;

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct CliFiles : CliRig {
  explicit CliFiles(const std::string& profile = "QN-760") : CliRig(profile) { state.directories.work = work.path; }
  std::string Path(const std::string& name) const { return work.path + "/" + name; }
  test::ScopedTempDir work;
};

TEST(CliRetrieval, TargetsAreCheckedBeforeTheDownloadAndAnotherLoggersHexIsKept) {
  CliFiles rig;
  rig.emulator.RecordSamples(300, rig.clock.Milliseconds());
  std::filesystem::create_directories(rig.Path("site1"));
  std::filesystem::create_directories(rig.Path("site2"));
  ASSERT_EQ(rig.Run({"download", "-o", rig.Path("site1/mooring.dat")}), cli::kExitOk) << rig.err.str();
  const std::string first = FileText(rig.Path("hex/mooring.hex"));
  ASSERT_TRUE(Has(first, "TMV QN-760")) << first;

  // Another logger, the same file name in another directory: its HEX would
  // replace the first logger's only lossless record. Refused before a block is read.
  CliFiles other("QN-760-S");
  other.work.path.swap(rig.work.path);  // the same work directory
  other.state.directories.work = other.work.path;
  other.emulator.RecordSamples(300, other.clock.Milliseconds());
  const size_t before = other.emulator.CommandLog().size();
  EXPECT_EQ(other.Run({"download", "-o", other.Path("site2/mooring.dat")}), cli::kExitFailure);
  EXPECT_TRUE(Has(other.err.str(), "holds the data of logger 012345")) << other.err.str();
  for (size_t i = before; i < other.emulator.CommandLog().size(); ++i)
    EXPECT_FALSE(other.emulator.CommandLog()[i].rfind("I", 0) == 0 && other.emulator.CommandLog()[i].size() == 17)
        << "memory read before the refusal";
  EXPECT_EQ(FileText(other.Path("hex/mooring.hex")), first);
  // The same DAT name again: refused before the download too.
  EXPECT_EQ(other.Run({"download", "-o", other.Path("site1/mooring.dat")}), cli::kExitFailure);
  EXPECT_TRUE(Has(other.err.str(), "already exists")) << other.err.str();
  other.work.path.swap(rig.work.path);
}

TEST(CliRetrieval, AFailedHexWriteIsAFailure) {
  CliFiles rig;
  rig.emulator.RecordSamples(100, rig.clock.Milliseconds());
  std::ofstream(rig.Path("hex")) << "a file where the hex directory should be";
  // Found before the memory is read, and told as it is.
  EXPECT_EQ(rig.Run({"download", "-o", rig.Path("data.dat")}), cli::kExitFailure);
  EXPECT_FALSE(Has(rig.out.str(), "HEX file:")) << rig.out.str();
  EXPECT_TRUE(Has(rig.err.str(), "The folder " + rig.Path("hex") + " is not a folder")) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "Nothing was retrieved.")) << rig.err.str();
  EXPECT_FALSE(Has(rig.err.str(), "may be open in another application")) << rig.err.str();
  for (const std::string& c : rig.emulator.CommandLog())
    EXPECT_FALSE(c.rfind("I", 0) == 0 && c.size() == 17) << "memory read before the refusal";
  EXPECT_FALSE(FileExists(rig.Path("data.dat")));
}

// Every command that reads a data file ends a damaged one alike: status 3
// and the same line, after the reader named what was wrong; a file whose
// data cannot be placed is refused by all of them.
TEST(CliRetrieval, EveryCommandEndsADamagedFileAlike) {
  CliFiles rig;
  rig.emulator.RecordSamples(300, rig.clock.Milliseconds());
  ASSERT_EQ(rig.Run({"download", "-o", rig.Path("good.dat")}), cli::kExitOk) << rig.err.str();
  const std::string hex = FileText(rig.Path("hex/good.hex"));
  const size_t dump = hex.find('\n', hex.find("|     |")) + 1;
  const size_t middle = hex.find('\n', dump + (hex.size() - dump) / 2) + 1;  // a dump line half way
  const size_t header = hex.find("Number of bytes in header ");
  ASSERT_NE(header, std::string::npos);
  const auto put = [&](const std::string& name, const std::string& text) {
    std::ofstream(rig.Path(name), std::ios::binary) << text;
    return rig.Path(name);
  };
  const std::string cut = put("cut.hex", hex.substr(0, dump + (hex.size() - dump) * 2 / 3));
  const std::string digit = put("digit.hex", hex.substr(0, middle + 5) + hex.substr(middle + 6));
  std::string lying = hex;
  lying.replace(header, lying.find('\r', header) - header, "Number of bytes in header 99999999");
  const std::string refused = put("header.hex", lying);
  const auto commands = [&](const std::string& file) -> std::vector<std::vector<std::string>> {
    return {{"info", file},
            {"info", file, "--json"},
            {"convert", file, "-o", file + ".dat"},
            {"export", file, "-o", file + ".csv"},
            {"stats", file, "--channel", "1"},
            {"stats", file, "--channel", "1", "--json"}};
  };
  for (const std::string& file : {cut, digit}) {
    for (const auto& words : commands(file)) {
      EXPECT_EQ(rig.Run(words), cli::kExitPartial) << words.front() << " " << file << "\n" << rig.err.str();
      EXPECT_TRUE(Has(rig.err.str(), file + " is damaged: only what could be read of it was used.")) << rig.err.str();
    }
  }
  EXPECT_TRUE(Has(rig.err.str(), ") holds 47 hex digits, an odd number")) << rig.err.str();
  for (const auto& words : commands(refused)) {
    EXPECT_EQ(rig.Run(words), cli::kExitFailure) << words.front();
    EXPECT_TRUE(Has(rig.err.str(), "'Number of bytes in header 99999999': no header length of 0 to 255 bytes")) << rig.err.str();
    EXPECT_FALSE(Has(rig.out.str(), "Samples:")) << rig.out.str();
  }
  for (const auto& words : commands(put("again.hex", hex))) EXPECT_EQ(rig.Run(words), cli::kExitOk) << words.front() << rig.err.str();
  // A tide-and-wave file without depth is refused, and the tool says how to give it.
  EXPECT_EQ(rig.Run({"info", put("kzm.hex", "TMV KZM-5170  1.00 000123\r\n")}), cli::kExitRefused) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "'Depth' has to be selected")) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "--derived depth")) << rig.err.str();
}

TEST(CliRetrieval, DamagedFilesConvertWithThePartialStatus) {
  CliFiles rig;
  rig.emulator.RecordSamples(100, rig.clock.Milliseconds());
  ASSERT_EQ(rig.Run({"download", "-o", rig.Path("good.dat")}), cli::kExitOk) << rig.err.str();
  const std::string hex = FileText(rig.Path("hex/good.hex"));
  const size_t ruler = hex.find("|     |");
  const size_t dump = hex.find('\n', ruler) + 1;
  ASSERT_NE(ruler, std::string::npos);
  const auto convert = [&](const std::string& name, const std::string& text) {
    std::ofstream(rig.Path(name), std::ios::binary) << text;
    return rig.Run({"convert", rig.Path(name), "-o", rig.Path(name + ".dat")});
  };
  EXPECT_EQ(convert("good.hex", hex), cli::kExitOk) << rig.err.str();
  EXPECT_EQ(convert("cut.hex", hex.substr(0, hex.size() - 100)), cli::kExitPartial);
  EXPECT_EQ(convert("junk.hex", hex.substr(0, dump) + "?? " + hex.substr(dump)), cli::kExitPartial);
  // Without the ruler the dump is still read from its first line: nothing shifts.
  EXPECT_EQ(convert("noruler.hex", hex.substr(0, ruler) + hex.substr(dump)), cli::kExitPartial);
  const auto rows = [&](const std::string& name) { return FileText(rig.Path(name + ".dat")); };
  const std::string good = rows("good.hex"), noRuler = rows("noruler.hex");
  EXPECT_EQ(good.substr(good.find("\r\n\r\n")), noRuler.substr(noRuler.find("\r\n\r\n")));
}

}  // namespace
}  // namespace tmv
