# 32-bit Windows build: the plug-in DLL (one cdecl export by plain name,
# through the module definition file), the resource library Vizazira.dll from
# the resource script, and the Windows host. Static runtime: the DLL needs
# nothing beside itself and Vizazira.dll.
include(${CMAKE_SOURCE_DIR}/cmake/sources.cmake)
enable_language(RC)

set(ZEDUZ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

add_library(zeduz_core STATIC ${ZEDUZ_CORE_SOURCES})

add_library(zeduztiff SHARED ${CMAKE_SOURCE_DIR}/entry/dll_main.cpp ${CMAKE_SOURCE_DIR}/entry/zeduztiff.def)
target_link_libraries(zeduztiff PRIVATE zeduz_core)
target_link_options(zeduztiff PRIVATE ${ZEDUZ_STATIC_RUNTIME} -Wl,--kill-at)
set_target_properties(zeduztiff PROPERTIES PREFIX "" OUTPUT_NAME "ZeduzTiff")

# Vizazira.dll: resources only, no code.
add_library(vizazira SHARED ${CMAKE_SOURCE_DIR}/resources/Vizazira.rc)
set_target_properties(vizazira PROPERTIES PREFIX "" OUTPUT_NAME "Vizazira" LINKER_LANGUAGE C)
target_link_options(vizazira PRIVATE -nostdlib -Wl,--no-entry -s)
target_include_directories(vizazira PRIVATE ${CMAKE_SOURCE_DIR})

if(EXISTS ${CMAKE_SOURCE_DIR}/host/CMakeLists.txt)
  add_subdirectory(host)
endif()
if(ZEDUZ_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()
