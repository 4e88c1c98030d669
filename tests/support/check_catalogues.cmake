# ctest's fixture "catalogues": the data sources the database cases use are
# there (tools/test starts the servers and exports these); without them
# those cases are reported as not run.
if("$ENV{KORVEL_TEST_DSNS}" STREQUAL "" OR NOT EXISTS "$ENV{ODBCINI}")
  message(FATAL_ERROR "no test data sources (KORVEL_TEST_DSNS, ODBCINI): tools/test starts them; "
                      "by hand: source tools/lib/common.sh tools/lib/test_databases.sh; "
                      "start_test_databases build/test-databases")
endif()
message(STATUS "test data sources: $ENV{KORVEL_TEST_DSNS}")
