# The terminal host inside the varnook program: curses with wide characters for UTF-8 names, and the
# in-memory command bars the add-in puts its menu entries into.
set(CURSES_NEED_NCURSES TRUE)
set(CURSES_NEED_WIDE TRUE)
find_package(Curses REQUIRED)
target_include_directories(varnook SYSTEM PRIVATE ${CURSES_INCLUDE_DIRS})
target_compile_definitions(varnook PRIVATE NCURSES_WIDECHAR=1)
target_link_libraries(varnook PRIVATE varnook-memory ${CURSES_LIBRARIES})
