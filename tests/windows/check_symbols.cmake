# Fails unless the DLL's debug directory names Brackwell.pdb with that PDB's
# GUID and age (a debugger loads no PDB that differs in either), unless the
# DLL itself carries no debug sections, and if the PDB names the checkout's
# or the build's folder: the PDB's GUID, and so the DLL, would then differ
# from one checkout to the next, and the symbols archive would publish the
# builder's folders.
execute_process(COMMAND ${READOBJ} --coff-debug-directory ${DLL} OUTPUT_VARIABLE record RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT record MATCHES "PDBGUID: {([0-9A-F-]+)}")
  message(FATAL_ERROR "no CodeView record in ${DLL}")
endif()
set(dll_guid ${CMAKE_MATCH_1})
string(REGEX MATCH "PDBAge: ([0-9]+)" _ "${record}")
set(dll_age ${CMAKE_MATCH_1})
string(REGEX MATCH "PDBFileName: ([^\n]+)" _ "${record}")
if(NOT CMAKE_MATCH_1 STREQUAL "Brackwell.pdb")
  message(FATAL_ERROR "the DLL names the PDB '${CMAKE_MATCH_1}', not Brackwell.pdb without a folder")
endif()

execute_process(COMMAND ${PDBUTIL} dump -summary ${PDB} OUTPUT_VARIABLE summary RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT summary MATCHES "GUID: {([0-9A-F-]+)}")
  message(FATAL_ERROR "could not read the summary of ${PDB}")
endif()
set(pdb_guid ${CMAKE_MATCH_1})
string(REGEX MATCH "\n *Age: ([0-9]+)" _ "${summary}")
set(pdb_age ${CMAKE_MATCH_1})
if(NOT dll_guid STREQUAL pdb_guid OR NOT dll_age STREQUAL pdb_age)
  message(FATAL_ERROR "the DLL expects PDB {${dll_guid}} age ${dll_age}, the PDB is {${pdb_guid}} age ${pdb_age}")
endif()

execute_process(COMMAND ${OBJDUMP} -h ${DLL} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT sections MATCHES "\\.text")
  message(FATAL_ERROR "could not list the sections of ${DLL}")
endif()
string(REGEX MATCHALL "\\.debug[_$][a-z_$]*" debug_sections "${sections}")
if(debug_sections)
  message(FATAL_ERROR "debug sections in the DLL: ${debug_sections}")
endif()
# The PDB's text, as strings(1) finds it.
file(STRINGS ${PDB} text)
foreach(folder IN ITEMS ${SOURCE_DIR} ${BINARY_DIR})
  string(FIND "${text}" "${folder}" at)
  if(NOT at EQUAL -1)
    string(SUBSTRING "${text}" ${at} 200 context)
    message(FATAL_ERROR "the PDB names the folder ${folder}: ${context}")
  endif()
endforeach()
message(STATUS "the DLL names Brackwell.pdb {${pdb_guid}} age ${pdb_age} and carries no debug sections; "
               "the PDB names neither ${SOURCE_DIR} nor ${BINARY_DIR}")
