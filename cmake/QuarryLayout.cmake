# Where an installation keeps its files, relative to its prefix, and where
# the build tree keeps the same files. The programs find them at run time
# from their own location (platform/install_layout.h), so the folders here
# are the single place both sides take them from.
include(GNUInstallDirs)

set(QUARRY_HELP_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/quarry/help)
# Helper programs that the programs start and users do not.
set(QUARRY_HELPERS_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/quarry)
# The maker's shared components folder and, in it, the control modules.
set(QUARRY_COMMON_FILES_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/common-files)
set(QUARRY_MODULE_INSTALL_DIR ${QUARRY_COMMON_FILES_INSTALL_DIR}/Kestrane)

# The build tree mirrors that: its modules gather below a common files
# folder of their own, and its help pages are the source tree's.
set(QUARRY_BUILD_COMMON_FILES_DIR ${CMAKE_BINARY_DIR}/common-files)
set(QUARRY_MODULE_DIR ${QUARRY_BUILD_COMMON_FILES_DIR}/Kestrane)
set(QUARRY_BUILD_HELP_DIR ${PROJECT_SOURCE_DIR}/docs)
# The build tree's programs stay in their folders; links to them gather in
# one, as the installed ones do, so that they find each other.
set(QUARRY_BUILD_PROGRAMS_DIR ${CMAKE_BINARY_DIR}/bin)
# Helpers are built beside qry, their first user.
set(QUARRY_BUILD_HELPERS_DIR ${CMAKE_BINARY_DIR}/tools/qry)

# No private shared libraries are installed (the libraries of the project
# are static, the modules are loaded by path), so installed programs carry
# no run path: they use the system's libraries like any packaged program.
set(CMAKE_SKIP_INSTALL_RPATH ON)

# quarry_user_program(TARGET): a program users run. Installed into the
# programs folder, and linked into the build tree's one.
function(quarry_user_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARRY_BUILD_PROGRAMS_DIR}
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}>
      ${QUARRY_BUILD_PROGRAMS_DIR}/$<TARGET_FILE_NAME:${target}>
    VERBATIM)
endfunction()
