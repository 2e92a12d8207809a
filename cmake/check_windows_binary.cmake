# Fails unless the Windows binary BINARY exports exactly the names in
# EXPORTS (none when empty) and imports only DLLs that every Windows system
# has, so that it runs on a bare server without the compiler's runtime DLLs.
# Run by CTest:
#   cmake -DOBJDUMP=... -DBINARY=... -DEXPORTS=A,B -P check_windows_binary.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls advapi32.dll kernel32.dll msvcrt.dll ntdll.dll user32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${BINARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${BINARY}")
endif()

# Imports: one "DLL Name: X.dll" line per imported DLL.
string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${listing}")
set(imports)
set(foreign)
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  list(APPEND imports "${dll}")
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower IN_LIST system_dlls)
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${BINARY} imports DLLs that are not Windows' own: "
                      "${foreign}")
endif()

# Exports: the rows "[ N] Name" of the name pointer table, up to the next
# empty line.
set(exports)
string(FIND "${listing}" "[Ordinal/Name Pointer] Table" table_start)
if(table_start GREATER -1)
  string(SUBSTRING "${listing}" ${table_start} -1 table)
  string(FIND "${table}" "\n\n" table_end)
  string(SUBSTRING "${table}" 0 ${table_end} table)
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
    list(APPEND exports "${name}")
  endforeach()
endif()
list(SORT exports)
string(REPLACE "," ";" expected "${EXPORTS}")
list(SORT expected)
if(NOT "${exports}" STREQUAL "${expected}")
  message(FATAL_ERROR "${BINARY} exports '${exports}', not '${expected}'")
endif()
message(STATUS "${BINARY}: exports '${exports}', imports '${imports}'")
