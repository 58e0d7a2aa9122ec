# The engine: one static library holding namespace qel. Sources are picked up
# per folder so that adding a file needs no edit here.
set(TL_ENGINE_DIRS core gl scene mesh curves elements tools view)
set(TL_ENGINE_SOURCES)
foreach(dir ${TL_ENGINE_DIRS})
  file(GLOB dir_sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  list(APPEND TL_ENGINE_SOURCES ${dir_sources})
endforeach()

file(GLOB TL_RESOURCE_BUNDLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.qrc)

add_library(qel STATIC ${TL_ENGINE_SOURCES} ${TL_RESOURCE_BUNDLES})
target_include_directories(qel PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qel PUBLIC Qt5::Core Qt5::Gui Qt5::Widgets)
