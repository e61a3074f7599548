# Checks the machine code and the symbol table of the shared library:
# no fused multiply-add instruction anywhere (they would change results), and
# only kwsig_ entry points among the defined dynamic symbols.
# Arguments: LIBRARY, OBJDUMP, NM.
execute_process(COMMAND ${OBJDUMP} -d ${LIBRARY} OUTPUT_VARIABLE code RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]*(vfmadd|vfmsub|vfnmadd|vfnmsub)[^\n]*" fused "${code}")
if(fused)
  list(LENGTH fused n)
  list(GET fused 0 first)
  message(FATAL_ERROR "${n} fused multiply-add instructions, first: ${first}")
endif()

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE syms RESULT_VARIABLE rc)
string(REGEX MATCHALL "[^\n]+" lines "${syms}")
set(exports "")
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  if(NOT name MATCHES "^kwsig_[a-z_]+$")
    message(FATAL_ERROR "unexpected exported symbol: ${line}")
  endif()
  list(APPEND exports ${name})
endforeach()
list(LENGTH exports n)
message(STATUS "${n} exports, no fused multiply-add: ${exports}")
