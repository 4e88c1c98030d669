#include <gtest/gtest.h>

#include "database/chan_list.h"
#include "database/statement.h"
#include "tests/support/databases/live_database.h"

namespace korvel {
namespace {

class ChanListTest : public test::FreshCatalogueTest {
 protected:
  void AddChannel(const std::string& sta, const std::string& chan, std::optional<double> sps) {
    CStatement s(m_db);
    s.Prepare("INSERT INTO SITECHAN (STA, CHAN, NGROUP, SPS, DESCR) VALUES (?, ?, 2, ?, 'd')");
    s.Bind(1, sta);
    s.Bind(2, chan);
    if (sps) {
      s.Bind(3, *sps);
      s.Execute();
    } else {
      CStatement n(m_db);
      n.Prepare("INSERT INTO SITECHAN (STA, CHAN, NGROUP, DESCR) VALUES (?, ?, 2, 'd')");
      n.Bind(1, sta);
      n.Bind(2, chan);
      n.Execute();
    }
  }
};

TEST_P(ChanListTest, ListsOneStationInTheDatabasesOrder) {
  AddChannel("KIR", "N-S", 100.0);
  AddChannel("KUDA", "Z", 50.0);
  AddChannel("KIR", "Z", 100.0);
  AddChannel("KIR", "SH Z", std::nullopt);
  AddChannel("O'K", "E-W", 20.0);
  AddChannel("КИР", "Я", 1.0);

  const auto rows = CChanList(m_db).ListStation("KIR");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].chan, "N-S");
  EXPECT_EQ(rows[1].chan, "Z");
  EXPECT_EQ(rows[2].chan, "SH Z");
  EXPECT_EQ(rows[0].sps, 100.0);
  EXPECT_EQ(rows[2].sps, 0.0);  // a null rate reads as 0
  EXPECT_EQ(rows[0].ngroup, 2);
  EXPECT_EQ(rows[0].descr, "d");
  EXPECT_EQ(rows[0].sta, "KIR");

  const auto quoted = CChanList(m_db).ListStation("O'K");
  ASSERT_EQ(quoted.size(), 1u);
  EXPECT_EQ(quoted[0].chan, "E-W");
  const auto cyrillic = CChanList(m_db).ListStation("\xCA\xC8\xD0");
  ASSERT_EQ(cyrillic.size(), 1u);
  EXPECT_EQ(cyrillic[0].chan, "\xDF");
  EXPECT_TRUE(CChanList(m_db).ListStation("kir").empty());
  EXPECT_TRUE(CChanList(m_db).ListStation("NONE").empty());
}

TEST(ChanList, TicksExactlyTheThreeComponents) {
  for (const char* c : {"Z", "N-S", "E-W"}) EXPECT_TRUE(IsTickedByDefault(c)) << c;
  for (const char* c : {"z", "SH Z", "N-S ", "NS", ""}) EXPECT_FALSE(IsTickedByDefault(c)) << c;
}

INSTANTIATE_TEST_SUITE_P(Drivers, ChanListTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ChanListTest);

}  // namespace
}  // namespace korvel
