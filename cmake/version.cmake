# The one version of the build, project(... VERSION ...), carried into
# every binary: generated/zeduz_version.h for the code and the resource
# script (the About dialog), a version resource in each Windows binary, and
# a version note in the Linux plug-in, which the host's --version reads from
# the library it loaded.
set(ZEDUZ_VERSION_PATCH ${PROJECT_VERSION_PATCH})
if(ZEDUZ_VERSION_PATCH STREQUAL "")
  set(ZEDUZ_VERSION_PATCH 0)
endif()
configure_file(${CMAKE_SOURCE_DIR}/resources/zeduz_version.h.in ${CMAKE_BINARY_DIR}/generated/zeduz_version.h @ONLY)

# zeduz_add_version_resource(<target> <file name> <VFT_DLL|VFT_APP> <description>)
function(zeduz_add_version_resource target file_name file_type description)
  set(ZEDUZ_FILE_NAME ${file_name})
  get_filename_component(ZEDUZ_INTERNAL_NAME ${file_name} NAME_WE)
  set(ZEDUZ_FILE_TYPE ${file_type})
  set(ZEDUZ_FILE_DESCRIPTION ${description})
  set(script ${CMAKE_BINARY_DIR}/generated/version_${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/resources/version_info.rc.in ${script} @ONLY)
  target_sources(${target} PRIVATE ${script})
endfunction()

if(WIN32)
  zeduz_add_version_resource(zeduztiff ZeduzTiff.dll VFT_DLL "Multi-page TIFF file format plug-in")
  if(TARGET vizazira)
    zeduz_add_version_resource(vizazira Vizazira.dll VFT_DLL "Texts and dialogs of the multi-page TIFF plug-in")
  endif()
  if(TARGET zeduz_host)
    zeduz_add_version_resource(zeduz_host zeduz-tiff.exe VFT_APP "Multi-page TIFF from scans (command-line host)")
  endif()
elseif(TARGET zeduztiff)
  target_sources(zeduztiff PRIVATE ${CMAKE_SOURCE_DIR}/resources/version_note.c)
endif()
