tavo_gtest(search_tests SOURCES diary_search_test.cpp LIBRARIES tavo_search_logic)

if(TAVO_WIDGETS)
  tavo_gui_test(search_window_tests search_window_test.cpp)
  target_link_libraries(search_window_tests PRIVATE tavo_search)
endif()
