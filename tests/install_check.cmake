# Installs the built library into a fresh prefix, then builds the consumer project against
# that prefix alone and runs both of its programs, which print the library's version.
# Defines: QV_BINARY_DIR, QV_SOURCE_DIR, WORK_DIR, GENERATOR, C_COMPILER, C_FLAGS.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${QV_BINARY_DIR} --prefix ${prefix})
# Only the installed tree may be found: no path into the source or build tree is given.
run(${CMAKE_COMMAND} -E env --unset=PKG_CONFIG_PATH
    ${CMAKE_COMMAND} -S ${QV_SOURCE_DIR}/tests/install_consumer -B ${WORK_DIR}/build
    -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER}
    "-DCMAKE_C_FLAGS=${C_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
foreach(program consumer_find_package consumer_pkg_config)
  run(${WORK_DIR}/build/${program})
  if(NOT run_output STREQUAL "1.0.7.20210909\n")
    message(FATAL_ERROR "${program} printed '${run_output}'")
  endif()
endforeach()
