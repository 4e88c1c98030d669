// The test relay itself, on the PostgreSQL server of the tests: a dropped
// connection after the Nth "COMMIT" lets that commit reach the server and
// loses its reply.
#include "tests/support/tcp_relay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "database/db_exception.h"
#include "database/statement.h"
#include "database/transaction.h"
#include "tests/support/databases/live_database.h"

namespace korvel {
namespace {

TEST(TcpRelay, ADropAfterACommitLosesTheReplyNotTheCommit) {
  const char* port = std::getenv("KORVEL_TEST_PG_PORT");
  if (port == nullptr || !test::TestDsnConfigured("TQF_PG")) GTEST_SKIP() << "no PostgreSQL";
  CDatabase direct;
  ASSERT_EQ(direct.OpenEx(test::TestConnectString("TQF_PG")), CDatabase::OpenResult::Opened);
  test::ResetCatalogue(direct);
  test::TcpRelay relay(std::atoi(port));
  CDatabase relayed;
  ASSERT_EQ(relayed.OpenEx("DSN=TQF_PG;UID=TQF;PWD=KXM;Port=" + std::to_string(relay.Port()) + ";"),
            CDatabase::OpenResult::Opened);
  // Counted from here: the session's set-up says "READ COMMITTED".
  relay.FaultAt("COMMIT", 2, test::TcpRelay::Fault::kDrop);
  bool lost = false;
  for (const char* sta : {"ONE", "TWO"}) {
    try {
      CTransaction transaction(relayed);
      relayed.ExecuteSQL(std::string("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('") + sta +
                         "', 'Z', 100)");
      transaction.Commit();
    } catch (const CDBException&) {
      lost = true;
    }
  }
  EXPECT_TRUE(relay.Struck());
  EXPECT_TRUE(lost);
  // The client learns of the drop before the server has acted on the commit.
  int rows = 0;
  for (int waited = 0; waited < 200 && rows < 2; ++waited) {
    if (waited > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    CStatement count(direct);
    count.ExecDirect("SELECT COUNT(*) FROM SITECHAN");
    rows = count.FetchCount();
  }
  EXPECT_EQ(rows, 2);
}

}  // namespace
}  // namespace korvel
