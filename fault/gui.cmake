# The dialogs of fault reporting and support mail, and the reporting
# process. They use the main program's shell (mailboxes, link opening,
# child processes), so the main program links them, not the other way.
add_library(quarry_fault_gui STATIC
  fault_reporter.cpp
  mail_program.cpp
  program_error_dlg.cpp
  support_dlg.cpp
)
set_target_properties(quarry_fault_gui PROPERTIES AUTOMOC ON)
target_include_directories(quarry_fault_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quarry_fault_gui PUBLIC
  quarry_fault_capture quarry_smtp quarry_app_gui quarry_framework quarry_msgbox Qt6::Widgets)

if(QUARRY_BUILD_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  quarry_add_test(quarry_fault_gui_tests NO_MAIN
    SOURCES
      mail_program_test.cpp
      program_error_dlg_test.cpp
      support_dlg_test.cpp
    LIBS quarry_fault_gui quarry_smtp_testing quarry_gui_test_main quarry_platform_testing
      Qt6::Test
    LABELS gui)
endif()
