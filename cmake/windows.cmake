# 32-bit Windows build: the plug-in DLL (one cdecl export by plain name,
# through the module definition file), the resource library Vizazira.dll from
# the resource script, the Windows host and the Wine test programs.
# Static runtime: the DLL imports nothing but system DLLs, so it needs nothing
# beside itself and Vizazira.dll.
include(${CMAKE_SOURCE_DIR}/cmake/sources.cmake)
enable_language(RC)

set(ZEDUZ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
# A stdcall decoration or an export of every symbol would break the one
# plain-name export the hosts look up.
set(ZEDUZ_DLL_LINK_OPTIONS ${ZEDUZ_STATIC_RUNTIME} -Wl,--kill-at -Wl,--exclude-all-symbols)

include(${CMAKE_SOURCE_DIR}/cmake/jpeg_library.cmake)  # zeduz_jpeg, static too, or ZEDUZ_JPEG_AVAILABLE OFF
if(NOT ZEDUZ_JPEG_AVAILABLE)
  list(FILTER ZEDUZ_CORE_SOURCES EXCLUDE REGEX ".*/(tiff/jpeg_strip_coder|page/jpeg_coder)\\.cpp$")
endif()
add_library(zeduz_core STATIC ${ZEDUZ_CORE_SOURCES})
# zlib linked statically (Debian's libz-mingw-w64-dev), so that the DLL still
# needs nothing beside itself and Vizazira.dll.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
target_link_libraries(zeduz_core PUBLIC zeduz_base ZLIB::ZLIB)
if(ZEDUZ_JPEG_AVAILABLE)
  target_link_libraries(zeduz_core PUBLIC zeduz_jpeg)
else()
  target_compile_definitions(zeduz_core PUBLIC ZEDUZ_WITHOUT_JPEG=1)
endif()

add_library(zeduztiff SHARED ${CMAKE_SOURCE_DIR}/entry/dll_main.cpp ${CMAKE_SOURCE_DIR}/entry/zeduztiff.def)
target_link_libraries(zeduztiff PRIVATE zeduz_core)
target_link_options(zeduztiff PRIVATE ${ZEDUZ_DLL_LINK_OPTIONS})
set_target_properties(zeduztiff PROPERTIES PREFIX "" OUTPUT_NAME "ZeduzTiff"
  LINK_DEPENDS ${CMAKE_SOURCE_DIR}/entry/zeduztiff.def)

# Vizazira.dll: resources only, no code and no entry point.
set(ZEDUZ_RC ${CMAKE_SOURCE_DIR}/resources/Vizazira.rc)
if(EXISTS ${ZEDUZ_RC})
  add_library(vizazira SHARED ${ZEDUZ_RC})
  set_target_properties(vizazira PROPERTIES PREFIX "" OUTPUT_NAME "Vizazira" LINKER_LANGUAGE C)
  target_link_options(vizazira PRIVATE -nostdlib -nostartfiles -Wl,--entry=0 -Wl,--no-insert-timestamp -s)
  target_include_directories(vizazira PRIVATE ${CMAKE_SOURCE_DIR})
  set_source_files_properties(${ZEDUZ_RC} PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/resource_ids.h;${CMAKE_BINARY_DIR}/generated/zeduz_version.h")
  add_dependencies(zeduztiff vizazira)
else()
  message(WARNING "resources/Vizazira.rc is missing: no resource library, the plug-in answers 213")
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/host/CMakeLists.txt)
  add_subdirectory(host)
endif()
if(ZEDUZ_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()
