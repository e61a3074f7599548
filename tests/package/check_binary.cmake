# Checks the machine code and the symbol table of the shared library:
# no fused multiply-add instruction anywhere (they would change results), and
# exactly the seventeen kwsig_ entry points as defined dynamic symbols.
# Arguments: LIBRARY, OBJDUMP, NM.
set(expected kwsig_cspectrum kwsig_cspectrum_double kwsig_fft kwsig_fft_double kwsig_fft_real
    kwsig_fft_real_double kwsig_fir kwsig_fir_double kwsig_fir_resp kwsig_fir_synth
    kwsig_resamp_resp kwsig_resample kwsig_resample_double kwsig_spectrum kwsig_spectrum_double
    kwsig_window kwsig_window_double)
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
list(SORT exports)
if(NOT exports STREQUAL expected)
  message(FATAL_ERROR "exports differ from the seventeen entry points:\n  got ${exports}\n  want ${expected}")
endif()
message(STATUS "the seventeen exports, no fused multiply-add")
