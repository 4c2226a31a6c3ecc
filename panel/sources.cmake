# Sources of the panel framework, added to orven_core.
set(ORVEN_PANEL_SOURCES
)
