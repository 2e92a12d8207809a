# Fails unless the library LIBRARY exports exactly the filter's two entry
# points. Run by CTest: cmake -DLIBRARY=... -P check_exports.cmake
execute_process(COMMAND nm -D --defined-only --format=posix ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "(^|\n)[^ \n]+" names "${listing}")
list(TRANSFORM names STRIP)
list(SORT names)
if(NOT names STREQUAL "GetFilterVersion;HttpFilterProc")
  message(FATAL_ERROR "exports of ${LIBRARY}: ${names}")
endif()
