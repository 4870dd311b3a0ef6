# Native Linux build: the plug-in as a shared library over platform/, the
# resource library generated from the resource script, the host, the tests.
include(${CMAKE_SOURCE_DIR}/cmake/sources.cmake)

if(ZEDUZ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)

file(GLOB ZEDUZ_PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/*.cpp)
add_library(zeduz_platform STATIC ${ZEDUZ_PLATFORM_SOURCES})
find_package(SQLite3 REQUIRED)  # the registry stand-in's database
target_link_libraries(zeduz_platform PUBLIC SQLite::SQLite3 ${CMAKE_DL_LIBS})
if(ZEDUZ_FAULT_INJECTION)
  target_compile_definitions(zeduz_platform PUBLIC ZEDUZ_FAULT_INJECTION=1)
endif()

add_library(zeduz_core STATIC ${ZEDUZ_CORE_SOURCES})
find_package(ZLIB REQUIRED)  # Deflate pages
find_package(JPEG REQUIRED)  # JPEG pages: Debian's libjpeg-turbo (libjpeg62-turbo-dev)
target_link_libraries(zeduz_core PUBLIC zeduz_base zeduz_platform ZLIB::ZLIB JPEG::JPEG)

# The plug-in. Only ZUVadeZoduv is exported.
add_library(zeduztiff SHARED ${CMAKE_SOURCE_DIR}/entry/dll_main.cpp)
target_link_libraries(zeduztiff PRIVATE zeduz_core)
target_link_options(zeduztiff PRIVATE
  -Wl,--version-script=${CMAKE_SOURCE_DIR}/entry/zeduztiff.map -Wl,--no-undefined)
set_target_properties(zeduztiff PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/entry/zeduztiff.map)

# The resource library, generated from the one resource script.
set(ZEDUZ_RC ${CMAKE_SOURCE_DIR}/resources/Vizazira.rc)
set(ZEDUZ_RC_C ${CMAKE_BINARY_DIR}/generated/vizazira_resources.c)
add_custom_command(
  OUTPUT ${ZEDUZ_RC_C}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/resources/rc_to_c.py ${ZEDUZ_RC} ${ZEDUZ_RC_C} -I ${CMAKE_BINARY_DIR}
  DEPENDS ${ZEDUZ_RC} ${CMAKE_SOURCE_DIR}/resources/rc_to_c.py ${CMAKE_SOURCE_DIR}/resources/resource_ids.h
    ${CMAKE_BINARY_DIR}/generated/zeduz_version.h
  COMMENT "Generating the resource library from Vizazira.rc")
add_library(vizazira SHARED ${ZEDUZ_RC_C})
set_target_properties(vizazira PROPERTIES PREFIX "" OUTPUT_NAME "Vizazira" SUFFIX ".so")

add_dependencies(zeduztiff vizazira)

# The host loads the plug-in library, which the fuzz build does not make.
if(EXISTS ${CMAKE_SOURCE_DIR}/host/CMakeLists.txt AND NOT ZEDUZ_FUZZ)
  add_subdirectory(host)
endif()

if(ZEDUZ_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()

if(ZEDUZ_BENCH)
  add_subdirectory(bench)
endif()

if(ZEDUZ_FUZZ)
  add_subdirectory(tests/fuzz)
endif()
