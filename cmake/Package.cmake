# The release archive: unpacked into the game's folder, it puts the plug-in
# where the host looks for plug-ins. Named after the project version, the one
# place the version lives; the version record keeps its fixed values.
install(FILES $<TARGET_FILE:Brackwell> DESTINATION Data/Plugins)
install(FILES ${PROJECT_SOURCE_DIR}/docs/INSTALL.txt DESTINATION Data/Plugins RENAME Brackwell-INSTALL.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Brackwell)
set(CPACK_PACKAGE_FILE_NAME Brackwell-${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
