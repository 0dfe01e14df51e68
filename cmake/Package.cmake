# The release: Brackwell-<version>.zip, unpacked into the game's folder, puts
# the plug-in where the host looks for plug-ins; Brackwell-<version>-symbols.zip
# holds the PDB that turns crash addresses inside that very DLL into functions
# and lines, at the same place, since debuggers look for a PDB beside its DLL.
# Named after the project version, the one place the version lives; the
# version record keeps its fixed values.
install(FILES $<TARGET_FILE:Brackwell> DESTINATION Data/Plugins COMPONENT plugin)
install(FILES ${PROJECT_SOURCE_DIR}/docs/INSTALL.txt DESTINATION Data/Plugins RENAME Brackwell-INSTALL.txt
        COMPONENT plugin)
install(FILES ${PROJECT_BINARY_DIR}/Brackwell.pdb DESTINATION Data/Plugins COMPONENT symbols)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Brackwell)
set(CPACK_PACKAGE_FILE_NAME Brackwell-${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
# One archive per component.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_PLUGIN_FILE_NAME Brackwell-${PROJECT_VERSION})
set(CPACK_ARCHIVE_SYMBOLS_FILE_NAME Brackwell-${PROJECT_VERSION}-symbols)
include(CPack)
