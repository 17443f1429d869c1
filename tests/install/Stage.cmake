# Installs the build tree into a fresh staging folder, as `make install DESTDIR=...` does, and
# each package's part into a folder of its own beside it (<folder>-<part>).
# cmake -DBUILD_DIR=<build tree> -DSTAGE=<folder> -P Stage.cmake
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} --install ${BUILD_DIR}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing into ${STAGE} failed: ${result}")
endif()
foreach(component program library development)
  file(REMOVE_RECURSE ${STAGE}-${component})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE}-${component}
                          ${CMAKE_COMMAND} --install ${BUILD_DIR} --component ${component}
    RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "installing ${component} into ${STAGE}-${component} failed: ${result}")
  endif()
endforeach()
