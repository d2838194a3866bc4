# Regenerates the sample drawings with the examples' generator and compares
# them byte for byte with the committed ones.
# cmake -DGENERATOR=... -DEXAMPLES=<examples folder> -DWORK=<scratch folder> -P compare_examples.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${GENERATOR} ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the examples' generator failed: ${status}")
endif()
file(GLOB committed RELATIVE ${EXAMPLES} ${EXAMPLES}/*.OFI)
file(GLOB made RELATIVE ${WORK} ${WORK}/*.OFI)
list(SORT committed)
list(SORT made)
if(NOT committed STREQUAL made)
  message(FATAL_ERROR "committed examples (${committed}) differ from generated (${made})")
endif()
foreach(name ${committed})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${EXAMPLES}/${name} ${WORK}/${name}
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${name} differs from what examples/make_examples.cpp makes")
  endif()
endforeach()
message(STATUS "examples unchanged: ${committed}")
