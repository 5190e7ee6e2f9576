tavo_gtest(image_files_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_files_test.cpp
  LIBRARIES tavo_writing_aids)
tavo_gui_test(writing_aids_tests ${CMAKE_CURRENT_LIST_DIR}/writing_aids_test.cpp)
tavo_gui_test(preview_tests ${CMAKE_CURRENT_LIST_DIR}/preview_test.cpp)
