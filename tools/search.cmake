# The diary search and the schedule: the search as plain logic (no Qt, so the benchmark and
# the tests use exactly what the dialog uses), then the windows.
add_library(tavo_search_logic STATIC diary_search.cpp diary_search.h)
target_link_libraries(tavo_search_logic PUBLIC tavo_core)

if(TAVO_WIDGETS)
  add_library(tavo_search STATIC
    f_result.cpp f_result.h
    find.cpp find.h
    schedule.cpp schedule.h
  )
  target_link_libraries(tavo_search PUBLIC tavo_uikit tavo_search_logic Qt6::Widgets)
endif()
