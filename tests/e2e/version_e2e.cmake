# Registers the start-up version check's end-to-end cases (version_e2e.py):
# the loopback build of the program under Xvfb, each case with its own page
# (or no server) on the loopback port that build asks.
get_property(zoq_version_e2e_added GLOBAL PROPERTY ZOQ_VERSION_E2E_ADDED)
if(zoq_version_e2e_added OR NOT TARGET zoq_e2e OR NOT DEFINED ZOQ_E2E_VERSION_PAGE_URL)
  return()
endif()
set_property(GLOBAL PROPERTY ZOQ_VERSION_E2E_ADDED TRUE)

foreach(case match escaped higher lower spaced no-markers empty no-server)
  add_test(NAME version_e2e_${case}
           COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/version_e2e.py
                   --program $<TARGET_FILE:zoq_e2e>
                   --version-url ${ZOQ_E2E_VERSION_PAGE_URL}
                   --download-url ${ZOQ_E2E_DOWNLOAD_PAGE_URL}
                   --case ${case})
  # Every end-to-end run serves the version page on the same loopback port.
  set_tests_properties(version_e2e_${case} PROPERTIES TIMEOUT 90 RESOURCE_LOCK zoq_e2e_port)
endforeach()
