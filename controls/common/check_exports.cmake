# Fails unless MODULE's dynamic symbol table defines exactly the six entry
# points of a component module (NM: the nm program).
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
  string(STRIP "${line}" name)
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer NiceName Version)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${MODULE} exports [${names}], not [${expected}]")
endif()
