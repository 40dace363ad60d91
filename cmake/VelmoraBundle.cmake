# VelmoraBundle: the plug-in's bundle folder as the host loads it, assembled in the build tree.
#   ${VELMORA_BUNDLE_DIR}/                      Velmora.bundle
#     <the plug-in library>                     velmora_bundle_library(<target>)
#     Resources/                                the resource file (always), pictures:
#                                               velmora_bundle_resources(<file>... [DEPENDS <target>...])
#     PrivateFrameworks/<name>/<library>        velmora_bundle_private_framework(<target> <name>),
#                                               e.g. the web-view bundle WebKitInterface.bundle,
#                                               a folder of the same layout
# The target velmora_bundle (built by default) stands for the whole folder: what needs the
# assembled bundle (a test, the host program, the demo) depends on it. CFBundle finds
# Resources/ and PrivateFrameworks/ inside a bundle's folder (platform/cf/CFBundle.h).

set(VELMORA_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Velmora.bundle)

add_custom_target(velmora_bundle ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_BUNDLE_DIR}/Resources
          ${VELMORA_BUNDLE_DIR}/PrivateFrameworks
  VERBATIM)

# velmora_bundle_library(<target>): the MODULE or SHARED library <target> is built straight into
# the bundle folder.
function(velmora_bundle_library target)
  set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${VELMORA_BUNDLE_DIR})
  add_dependencies(velmora_bundle ${target})
endfunction()

# velmora_bundle_private_framework(<target> <name>): the library <target> is built into
# PrivateFrameworks/<name>/ (<name> is the framework bundle's folder name).
function(velmora_bundle_private_framework target name)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${VELMORA_BUNDLE_DIR}/PrivateFrameworks/${name})
  add_dependencies(velmora_bundle ${target})
endfunction()

# velmora_bundle_resources(<file>... [DEPENDS <target>...]): the files are copied into
# Resources/ under their own names whenever they change; DEPENDS names the targets that make them.
function(velmora_bundle_resources)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  if(NOT ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "velmora_bundle_resources: no files given")
  endif()
  get_property(_count GLOBAL PROPERTY VELMORA_BUNDLE_RESOURCE_SETS)
  if(NOT _count)
    set(_count 0)
  endif()
  math(EXPR _count "${_count} + 1")
  set_property(GLOBAL PROPERTY VELMORA_BUNDLE_RESOURCE_SETS ${_count})
  set(_target velmora_bundle_resources_${_count})
  add_custom_target(${_target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_BUNDLE_DIR}/Resources
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ARG_UNPARSED_ARGUMENTS} ${VELMORA_BUNDLE_DIR}/Resources/
    VERBATIM)
  if(ARG_DEPENDS)
    add_dependencies(${_target} ${ARG_DEPENDS})
  endif()
  add_dependencies(velmora_bundle ${_target})
endfunction()
