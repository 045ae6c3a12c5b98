# The plug-in interface: the public C header, the program's functions exported by name for
# dlopen()ed plug-ins, and the sample plug-in.
enable_language(C)
include(GNUInstallDirs)

# Exports exactly the functions of include/pelmar/plugin.h from an executable.
function(pelmar_export_plugin_api target)
  target_link_options(${target} PRIVATE "LINKER:--dynamic-list=${CMAKE_SOURCE_DIR}/cmake/PluginApi.dynlist")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${CMAKE_SOURCE_DIR}/cmake/PluginApi.dynlist")
endfunction()

# A plug-in library: plain C, no "lib" prefix, built against the public header only.
function(pelmar_add_plugin target)
  add_library(${target} MODULE ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" C_STANDARD 99 C_VISIBILITY_PRESET hidden)
  target_include_directories(${target} PRIVATE "${CMAKE_SOURCE_DIR}/include")
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror=implicit-function-declaration)
endfunction()

pelmar_export_plugin_api(pelmar)

pelmar_add_plugin(sender-status "${CMAKE_SOURCE_DIR}/examples/sender-status/sender_status.c")
set_target_properties(sender-status PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/Plugins")
# Its button picture is looked up by name beside the library.
set(PELMAR_SAMPLE_ICON "${CMAKE_SOURCE_DIR}/examples/sender-status/sender-status.png")
configure_file("${PELMAR_SAMPLE_ICON}" "${CMAKE_BINARY_DIR}/Plugins/sender-status.png" COPYONLY)

install(FILES "${CMAKE_SOURCE_DIR}/include/pelmar/plugin.h" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/pelmar")
install(FILES "${CMAKE_SOURCE_DIR}/examples/sender-status/sender_status.c" "${PELMAR_SAMPLE_ICON}"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples")
