# Writing aids: the HTML preview, the HTML menu's insertions and the image dialog.
add_library(tavo_writing_aids STATIC
  ${CMAKE_CURRENT_LIST_DIR}/image_files.cpp ${CMAKE_CURRENT_LIST_DIR}/image_files.h
  ${CMAKE_CURRENT_LIST_DIR}/imginput.cpp ${CMAKE_CURRENT_LIST_DIR}/imginput.h
  ${CMAKE_CURRENT_LIST_DIR}/insertion.cpp ${CMAKE_CURRENT_LIST_DIR}/insertion.h
  ${CMAKE_CURRENT_LIST_DIR}/preview.cpp ${CMAKE_CURRENT_LIST_DIR}/preview.h
)
target_link_libraries(tavo_writing_aids PUBLIC tavo_uikit tavo_publish_logic Qt6::Widgets
                                               Qt6::WebEngineWidgets)
