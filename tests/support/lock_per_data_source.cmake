# Included by ctest after a suite's cases are discovered, with korvel_cases
# set to their names. Each data source is a database of its own, so a case
# that runs on one (its name ends in /TQF_<SOURCE>) waits only for the cases
# on that source; any other case of the suite takes all of them.
foreach(case IN LISTS korvel_cases)
  if(case MATCHES "/(TQF_[A-Z]+)( |$)")
    set(locks catalogue_${CMAKE_MATCH_1})
  else()
    set(locks ${KORVEL_ALL_CATALOGUE_LOCKS})
  endif()
  set_tests_properties("${case}" PROPERTIES RESOURCE_LOCK "${locks}")
endforeach()
