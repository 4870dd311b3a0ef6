# The JPEG library of the Windows flavours: libjpeg-turbo from Debian's own
# source package, cross-compiled with this build's mingw-w64 toolchain by
# scripts/build_jpeg_library.sh into <build folder>/jpeg-library, once per
# build folder (the script returns at once while its library is there), and
# linked statically, so that the plug-in DLL still imports only system DLLs.
# A configure that cannot get the library stops with the script's message,
# which names what is missing.
set(ZEDUZ_JPEG_DIR ${CMAKE_BINARY_DIR}/jpeg-library)
set(ZEDUZ_JPEG_PREFIX ${ZEDUZ_JPEG_DIR}/install)

get_filename_component(ZEDUZ_JPEG_TOOLCHAIN "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
execute_process(
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build_jpeg_library.sh ${ZEDUZ_JPEG_TOOLCHAIN} ${ZEDUZ_JPEG_DIR} 2
  RESULT_VARIABLE ZEDUZ_JPEG_RESULT
  OUTPUT_VARIABLE ZEDUZ_JPEG_OUTPUT
  ERROR_VARIABLE ZEDUZ_JPEG_OUTPUT)
if(NOT ZEDUZ_JPEG_RESULT EQUAL 0)
  message(FATAL_ERROR "The JPEG library could not be had:\n${ZEDUZ_JPEG_OUTPUT}")
elseif(ZEDUZ_JPEG_OUTPUT)
  message(STATUS "${ZEDUZ_JPEG_OUTPUT}")
endif()

add_library(zeduz_jpeg STATIC IMPORTED)
set_target_properties(zeduz_jpeg PROPERTIES
  IMPORTED_LOCATION ${ZEDUZ_JPEG_PREFIX}/lib/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZEDUZ_JPEG_PREFIX}/include)
