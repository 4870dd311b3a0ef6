# The JPEG library of the Windows flavours: libjpeg-turbo from Debian's own
# source package, cross-compiled with this build's mingw-w64 toolchain by
# scripts/build_jpeg_library.sh into <build folder>/jpeg-library, once per
# build folder (the script returns at once while its library is there), and
# linked statically, so that the plug-in DLL still imports only system DLLs.
# A configure that cannot get the library (Debian's source package cannot be
# fetched and none was built here before) goes on without it: it prints one
# line saying why, ZEDUZ_JPEG_AVAILABLE is OFF, the plug-in is built with
# ZEDUZ_WITHOUT_JPEG (JPEG settings give Deflate pages), and the reason is left
# in jpeg-library/unavailable, where the Wine JPEG tests find it and skip.
set(ZEDUZ_JPEG_DIR ${CMAKE_BINARY_DIR}/jpeg-library)
set(ZEDUZ_JPEG_PREFIX ${ZEDUZ_JPEG_DIR}/install)

get_filename_component(ZEDUZ_JPEG_TOOLCHAIN "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
execute_process(
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build_jpeg_library.sh ${ZEDUZ_JPEG_TOOLCHAIN} ${ZEDUZ_JPEG_DIR} 2
  RESULT_VARIABLE ZEDUZ_JPEG_RESULT
  OUTPUT_VARIABLE ZEDUZ_JPEG_OUTPUT
  ERROR_VARIABLE ZEDUZ_JPEG_OUTPUT)
set(ZEDUZ_JPEG_UNAVAILABLE ${ZEDUZ_JPEG_DIR}/unavailable)
if(NOT ZEDUZ_JPEG_RESULT EQUAL 0)
  string(REGEX MATCH "jpeg library: error: [^\n]*" ZEDUZ_JPEG_REASON "${ZEDUZ_JPEG_OUTPUT}")
  if(NOT ZEDUZ_JPEG_REASON)
    set(ZEDUZ_JPEG_REASON "jpeg library: error: the build script failed")
  endif()
  string(REPLACE "jpeg library: error: " "" ZEDUZ_JPEG_REASON "${ZEDUZ_JPEG_REASON}")
  set(ZEDUZ_JPEG_AVAILABLE OFF)
  message(STATUS "No JPEG pages in this Windows build (JPEG settings give Deflate pages): ${ZEDUZ_JPEG_REASON}")
  file(WRITE ${ZEDUZ_JPEG_UNAVAILABLE} "${ZEDUZ_JPEG_REASON}\n")
  return()
endif()
if(ZEDUZ_JPEG_OUTPUT)
  message(STATUS "${ZEDUZ_JPEG_OUTPUT}")
endif()
file(REMOVE ${ZEDUZ_JPEG_UNAVAILABLE})
set(ZEDUZ_JPEG_AVAILABLE ON)

add_library(zeduz_jpeg STATIC IMPORTED)
set_target_properties(zeduz_jpeg PROPERTIES
  IMPORTED_LOCATION ${ZEDUZ_JPEG_PREFIX}/lib/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZEDUZ_JPEG_PREFIX}/include)
