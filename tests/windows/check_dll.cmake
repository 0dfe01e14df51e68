# Fails unless the DLL exports exactly TRVXPlugin_Load and TRVXPlugin_Version,
# imports nothing but Windows system DLLs, and starts each section on a page
# of its file (Wine copies a section that doesn't into private memory).
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
list(TRANSFORM imports TOUPPER)
list(SORT imports)
set(expected KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL)
if(NOT imports STREQUAL expected)
  message(FATAL_ERROR "imports are '${imports}', expected '${expected}'")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_0-9@]+" exports "${table}")
list(TRANSFORM exports REPLACE "\\[ *[0-9]+\\] " "")
list(SORT exports)
if(NOT exports STREQUAL "TRVXPlugin_Load;TRVXPlugin_Version")
  message(FATAL_ERROR "exports are '${exports}'")
endif()
if(NOT dump MATCHES "FileAlignment[ \t]+00001000")
  message(FATAL_ERROR "sections are not aligned to pages in the file")
endif()
message(STATUS "imports: ${imports}; exports: ${exports}")
