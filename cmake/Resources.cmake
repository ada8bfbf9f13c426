# orvane_resources(<target> <script.rc> [DEPENDS files...])
# An INTERFACE target that links the resources of <script.rc> into every program that links it,
# directly or through a library: on Windows the script compiled by windres (resources must be
# part of the executable itself, so they never sit in a static library); elsewhere only its
# string table, generated into source that LoadText finds. Files the script names (icons, the
# manifest) are found relative to the script's folder.
function(orvane_resources target script)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  get_filename_component(name ${script} NAME_WE)
  get_filename_component(folder ${script} DIRECTORY)
  if(WIN32)
    set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}.res.obj)
    add_custom_command(OUTPUT ${object}
      COMMAND ${CMAKE_RC_COMPILER} --codepage=65001 -J rc -O coff -I ${folder} -i ${script} -o ${object}
      WORKING_DIRECTORY ${folder}
      DEPENDS ${script} ${ARG_DEPENDS}
      COMMENT "Compiling the resources of ${name}"
      VERBATIM)
    add_custom_target(${target}_build DEPENDS ${object})
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${object})
    add_dependencies(${target} ${target}_build)
  else()
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.strings.cpp)
    add_custom_command(OUTPUT ${source}
      COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/Orvane/engine/tasks/GenerateStringTable.py ${script} ${source}
      DEPENDS ${script} ${PROJECT_SOURCE_DIR}/Orvane/engine/tasks/GenerateStringTable.py
      COMMENT "Generating the string table of ${name}"
      VERBATIM)
    add_library(${target}_objects OBJECT ${source})
    target_include_directories(${target}_objects PRIVATE ${PROJECT_SOURCE_DIR})
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE $<TARGET_OBJECTS:${target}_objects>)
    add_dependencies(${target} ${target}_objects)
  endif()
endfunction()
