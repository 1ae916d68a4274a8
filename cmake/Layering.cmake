# Each subsystem folder is a library; these rules say which other project
# folders and which Qt modules its sources may include. The check runs as
# part of every build, so a forbidden include fails the build, and the link
# interfaces below only offer what is allowed.
set(TALMON_LAYERS
  "signal:"
  "lang:"
  "store:signal,lang"
  "device:signal,store,lang"
  "net:signal,store,lang"
  "sim:signal,store,device,net,lang"
  "art:"
  "display:signal,store,lang,art"
  "dialogs:display,signal,store,device,net,lang,art"
  "app:dialogs,display,signal,store,device,net,sim,lang,art"
  "tools:signal,store,device,net,sim,lang,display,art"
  # The recorder's packet bytes: the standard library and nothing else.
  "device/protocol:")
# Folders that must not use Qt's GUI, widget or printing modules.
set(TALMON_NO_GUI signal store device net sim)
# Folders that may paint (Qt Gui) but must not use widgets or printing.
set(TALMON_NO_WIDGETS display tools)
# Folders that must not use Qt at all.
set(TALMON_NO_QT signal device/protocol)
# Folders limited to the C++ standard library's own headers.
set(TALMON_STD_ONLY device/protocol)

function(talmon_add_layering_check)
  add_custom_target(layering_check ALL
    COMMAND ${CMAKE_COMMAND}
      -DROOT=${CMAKE_SOURCE_DIR}
      "-DLAYERS=${TALMON_LAYERS}"
      "-DNO_GUI=${TALMON_NO_GUI}"
      "-DNO_WIDGETS=${TALMON_NO_WIDGETS}"
      "-DSTD_ONLY=${TALMON_STD_ONLY}"
      "-DNO_QT=${TALMON_NO_QT}"
      -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking subsystem dependencies"
    VERBATIM)
endfunction()

# Library helper: a subsystem library from every source in its folder.
function(talmon_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  set(cpps ${srcs})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(cpps)
    add_library(talmon_${name} STATIC ${srcs})
    target_include_directories(talmon_${name} PUBLIC ${TALMON_ROOT})
    target_link_libraries(talmon_${name} PUBLIC ${ARG_DEPS} PRIVATE talmon_warnings)
  else()
    # Nothing compiled yet: a header-only interface with the same dependencies.
    add_library(talmon_${name} INTERFACE)
    target_include_directories(talmon_${name} INTERFACE ${TALMON_ROOT})
    target_link_libraries(talmon_${name} INTERFACE ${ARG_DEPS})
  endif()
  if(TARGET layering_check)
    add_dependencies(talmon_${name} layering_check)
  endif()
endfunction()
