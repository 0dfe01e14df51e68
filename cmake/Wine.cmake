# Runs the Windows executables under Wine: one prefix per build tree, made
# once by the build and reused by every test; headless (null graphics
# driver); a crash ends the process at once instead of opening a debugger.
find_program(BW_WINE_LOADER NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine
             /usr/lib/x86_64-linux-gnu/wine NO_CACHE)
find_program(BW_WINE_SERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine /usr/lib64/wine
             /usr/lib/x86_64-linux-gnu/wine NO_CACHE)
if(NOT BW_WINE_LOADER OR NOT BW_WINE_SERVER)
  message(WARNING "Wine not found: the Windows tests can't run (scripts/install-deps.sh installs it)")
  return()
endif()

set(BW_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
# Documents in a fresh prefix is a link to $HOME, so the plug-in's log lands
# here and not in the real home folder.
set(BW_WINE_HOME ${PROJECT_BINARY_DIR}/wine-home)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)

add_custom_command(
  OUTPUT ${BW_WINE_PREFIX}/.brackwell-ready
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-wine-prefix.sh ${PROJECT_BINARY_DIR}/wine-run
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-wine-prefix.sh
  COMMENT "Creating the Wine prefix for the Windows tests"
  VERBATIM)
add_custom_target(wine_prefix ALL DEPENDS ${BW_WINE_PREFIX}/.brackwell-ready)

# wine-run keeps a wine server running between programs; stop it once the
# Windows tests are done.
add_test(NAME wine.server.stop COMMAND ${PROJECT_BINARY_DIR}/wine-run --server -k)
set_tests_properties(wine.server.stop PROPERTIES FIXTURES_CLEANUP wine)
