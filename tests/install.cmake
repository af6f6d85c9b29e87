# Installs the build into a temporary prefix and starts the installed program once; needs the
# program, its data and the plugins built first.
mirvane_test(install SOURCES install_test.cpp LIBS Qt6::Core TIMEOUT 300)
target_compile_definitions(install_test PRIVATE MIRVANE_CMAKE="${CMAKE_COMMAND}")
add_dependencies(install_test mirvane mirvane_data)
if(TARGET mirvane_vis_plugins)
  add_dependencies(install_test mirvane_vis_plugins)
endif()
