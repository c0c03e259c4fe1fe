# Registers the settings window's end-to-end test (settings_e2e.py): the real
# program under Xvfb, its version page served by the test on the loopback
# port the zoq_e2e build asks, the contact address compiled into the settings
# window. tests/e2e/CMakeLists.txt includes it once every target exists.
get_property(zoq_settings_e2e_added GLOBAL PROPERTY ZOQ_SETTINGS_E2E_ADDED)
if(zoq_settings_e2e_added OR NOT TARGET zoq_e2e OR NOT TARGET zoq_settings
   OR NOT DEFINED ZOQ_E2E_VERSION_PAGE_URL)
  return()
endif()
set_property(GLOBAL PROPERTY ZOQ_SETTINGS_E2E_ADDED TRUE)

add_test(NAME settings_e2e
         COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/settings_e2e.py
                 --program $<TARGET_FILE:zoq_e2e>
                 --version-url ${ZOQ_E2E_VERSION_PAGE_URL}
                 --contact-url ${ZOQ_CONTACT_CHAT_URL})
# Every end-to-end run serves the version page on the same loopback port.
set_tests_properties(settings_e2e PROPERTIES TIMEOUT 120 RESOURCE_LOCK zoq_e2e_port)
