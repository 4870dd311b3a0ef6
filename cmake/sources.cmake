# The status codes and their names, below every layer: their own library,
# which the plug-in's code and the host both link.
file(GLOB ZEDUZ_BASE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/base/*.cpp)
add_library(zeduz_base STATIC ${ZEDUZ_BASE_SOURCES})

# The plug-in's own code, shared by both platforms. The attach glue
# (entry/dll_main.cpp) is only linked into the shared library itself, so tests
# can attach the plug-in explicitly.
file(GLOB ZEDUZ_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/entry/*.cpp
  ${CMAKE_SOURCE_DIR}/state/*.cpp
  ${CMAKE_SOURCE_DIR}/tiff/*.cpp
  ${CMAKE_SOURCE_DIR}/output/*.cpp
  ${CMAKE_SOURCE_DIR}/memory/*.cpp
  ${CMAKE_SOURCE_DIR}/page/*.cpp
  ${CMAKE_SOURCE_DIR}/ui/*.cpp)
list(FILTER ZEDUZ_CORE_SOURCES EXCLUDE REGEX ".*/entry/dll_main\\.cpp$")
