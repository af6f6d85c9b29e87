# The skin loader (with the INI reader it reads Skins.ini through), against the real controls.
# Links the subsystems' object libraries directly so a half-built subsystem elsewhere cannot
# break this suite.
mirvane_test(skin
  SOURCES ini_test.cpp skin_test.cpp skin_gallery.cpp skin_host.h skin_host.cpp
  LIBS core_skin core_controls core_common Qt6::Widgets)

# The generator of the shipped skins' art (tools/make_skins.sh runs it); never built by default.
add_executable(make_skins EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tools/make_skins.cpp)
target_compile_options(make_skins PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(make_skins PRIVATE Qt6::Gui)
