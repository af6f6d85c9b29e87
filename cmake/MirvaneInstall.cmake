# `cmake --install <build> --prefix P`: the program in P/bin, its read-only data in
# P/share/mirvane, the plugins in P/lib/mirvane/vis (their helper program in P/lib/mirvane),
# and what the desktop needs to list it (desktop entry, icons, AppStream metainfo). The
# installed program finds these through the relative folders that src/common/paths.cpp is
# built with.

install(TARGETS mirvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The icons go to the icon theme, not among the program's data.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mirvane
  PATTERN icons EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

install(FILES ${PROJECT_SOURCE_DIR}/desktop/mirvane.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/org.halvorn.Mirvane.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The program that runs panel plugins apart from the player; found through the plugin folder.
if(TARGET mirvane-vis-helper)
  install(TARGETS mirvane-vis-helper RUNTIME DESTINATION ${MIRVANE_INSTALL_PLUGINDIR})
endif()

foreach(plugin vis_plugin_spectrum vis_plugin_scope vis_plugin_trio)
  if(TARGET ${plugin})
    install(TARGETS ${plugin} LIBRARY DESTINATION ${MIRVANE_INSTALL_PLUGINDIR}/vis)
  endif()
endforeach()
