# Installs the built library into a scratch prefix, then builds and runs a C
# consumer against it: through find_package(kwsig CONFIG), through pkg-config,
# with the static archive named on the C compiler's command line (no C++
# run-time), and fully static through `pkg-config --static`. Finally the
# uninstall target must leave the prefix without a file. The installed kwsig
# command must run when it was built (TOOL).
# Arguments: BUILD_DIR, SOURCE_DIR, WORK_DIR, C_COMPILER, TOOL.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
if(TOOL)
  run(${prefix}/bin/kwsig --version)
endif()

# find_package
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/cmake-consumer
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_RPATH=${prefix}/lib)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-consumer)
run(${WORK_DIR}/cmake-consumer/consumer)

# pkg-config
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs kwsig OUTPUT_VARIABLE flags
                RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know kwsig")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} ${SOURCE_DIR}/consumer/consumer.c ${flags} -Wl,-rpath,${prefix}/lib
    -o ${WORK_DIR}/pc-consumer)
run(${WORK_DIR}/pc-consumer)

# The static archive from C: the C compiler's driver adds no C++ run-time.
run(${C_COMPILER} ${SOURCE_DIR}/consumer/consumer.c -I${prefix}/include
    ${prefix}/lib/libkwsig_32_static.a -lm -lpthread -o ${WORK_DIR}/static-consumer)
run(${WORK_DIR}/static-consumer)
execute_process(COMMAND ${PKG_CONFIG} --static --cflags --libs kwsig OUTPUT_VARIABLE flags
                RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} ${SOURCE_DIR}/consumer/consumer.c ${flags} -static -o ${WORK_DIR}/pc-static-consumer)
run(${WORK_DIR}/pc-static-consumer)

run(${CMAKE_COMMAND} --build ${BUILD_DIR} --target uninstall)
file(GLOB_RECURSE left LIST_DIRECTORIES false ${prefix}/*)
if(left)
  message(FATAL_ERROR "uninstall left files behind: ${left}")
endif()
