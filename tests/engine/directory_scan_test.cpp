#include <gtest/gtest.h>

#include <filesystem>

#include "engine/conversion_commands.h"
#include "engine/directory_scan.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/recording_catalogue.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RawFileBuilder;

class ScanHost : public ConversionHost {
 public:
  const SelectionList& Selection() const override { return selection; }
  bool ScanSubdirectories() const override { return subdirectories; }
  void SetStatusText(const std::string& text) override { status.push_back(text); }
  void ExamineFile(const std::string& name, std::size_t position, std::size_t count) override {
    status.push_back(name + " " + std::to_string(position) + "/" + std::to_string(count));
  }
  void DisableCommands() override {}
  void EnableCommands() override {}
  void BeginWaitCursor() override { ++waits; }
  void EndWaitCursor() override { --waits; }
  Notifier& Operator() override { return notifier; }

  SelectionList selection{{"KIR", "Z"}};
  bool subdirectories = false;
  std::vector<std::string> status;
  int waits = 0;
  test::RecordingNotifier notifier;
};

TEST(DirectoryScan, NameOrderStatusLineAndOneBeepPerScan) {
  test::ConfigSandbox sandbox;
  const auto raw = sandbox.path() / "raw";
  std::filesystem::create_directories(raw / "sub" / "deeper");
  std::filesystem::create_directories(sandbox.path() / "out");
  sandbox.WriteTqfIni("[DATA]\nDIR=" + (sandbox.path() / "out").string() + "\n");
  const auto file = [](double t) {
    return RawFileBuilder().Station("KIR").Date(1, 3, 7).TimeOfDay(t).Channels({"Z"}).Frames(10);
  };
  file(30).WriteTo(raw / "b.raw");
  file(0).WriteTo(raw / "A.raw");
  file(60).WriteTo(raw / "sub" / "c.raw");
  file(90).WriteTo(raw / "sub" / "deeper" / "d.raw");
  RawFileBuilder().Station("KUDA").Channels({"Z"}).Frames(10).WriteTo(raw / "e.raw");

  test::RecordingCatalogue catalogue;
  ScanHost host;
  FileErrorMessages file_errors(host.notifier);
  OutputWriter writer(catalogue, file_errors);
  writer.SetOutputRoot((sandbox.path() / "out").string() + "/");  // as the command reads it
  EXPECT_EQ(ScanDirectory("KIR", host, writer, 0, 0, raw.string()), 2);
  // Each file with its place among the directory's files; sub skipped.
  EXPECT_EQ(host.status, (std::vector<std::string>{"A.raw 1/3", "b.raw 2/3", "e.raw 3/3", ""}));
  EXPECT_EQ(host.notifier.beeps, 1);
  EXPECT_EQ(host.waits, 0);

  host.subdirectories = true;
  host.status.clear();
  EXPECT_EQ(ScanDirectory("KIR", host, writer, 0, 0, raw.string()), 4);
  EXPECT_EQ(host.notifier.beeps, 1 + 3);  // the scan and its two nested ones
  EXPECT_EQ(host.status, (std::vector<std::string>{"A.raw 1/3", "b.raw 2/3", "e.raw 3/3",
                                                   "c.raw 1/1", "d.raw 1/1", "", "", ""}));

  // Hand-picked files are named one by one with their place among them too.
  host.status.clear();
  EXPECT_EQ(ConvertChosenFiles("KIR", {raw / "A.raw", raw / "b.raw"}, raw, host, writer).converted,
            2);
  EXPECT_EQ(host.status, (std::vector<std::string>{"A.raw 1/2", "b.raw 2/2"}));
  host.notifier.messages.clear();

  // A lower-case station matches nothing; a missing directory still beeps.
  EXPECT_EQ(ScanDirectory("kir", host, writer, 0, 0, raw.string()), 0);
  EXPECT_EQ(ScanDirectory("KIR", host, writer, 0, 0, (raw / "none").string()), 0);
  EXPECT_EQ(host.notifier.beeps, 4 + 3 + 1);
}

}  // namespace
}  // namespace korvel
