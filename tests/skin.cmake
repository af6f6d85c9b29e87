# The skin loader (with the INI reader it reads Skins.ini through). Links the subsystems'
# object libraries directly so a half-built subsystem elsewhere cannot break this suite.
if(TARGET core_skin AND TARGET core_controls)
  mirvane_test(skin
    SOURCES ini_test.cpp
    LIBS core_skin core_controls core_common Qt6::Widgets)
else()
  mirvane_test(skin SOURCES ini_test.cpp LIBS core_common Qt6::Widgets)
endif()
