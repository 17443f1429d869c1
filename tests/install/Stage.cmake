# Installs the build tree into a fresh staging folder, as `make install DESTDIR=...` does.
# cmake -DBUILD_DIR=<build tree> -DSTAGE=<folder> -P Stage.cmake
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} --install ${BUILD_DIR}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing into ${STAGE} failed: ${result}")
endif()
