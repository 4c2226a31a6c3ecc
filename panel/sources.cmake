# Sources of the panel framework, the library orven_framework.
set(ORVEN_PANEL_SOURCES
  panel/HashTable.cpp
  panel/ColorScheme.cpp
  panel/DisplayScale.cpp
  panel/PanelPainter.cpp
  panel/Control.cpp
  panel/Window.cpp
  panel/Panel.cpp
  panel/PanelNonClient.cpp
  panel/Accessible.cpp
  panel/AccessibleObject.cpp
)
