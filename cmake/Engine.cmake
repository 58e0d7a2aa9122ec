# The engine: one static library holding namespace qel. Sources are picked up
# per folder so that adding a file needs no edit here.
set(TL_ENGINE_DIRS core gl scene mesh curves elements tools files view app)
set(TL_ENGINE_SOURCES)
foreach(dir ${TL_ENGINE_DIRS})
  file(GLOB dir_sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  list(APPEND TL_ENGINE_SOURCES ${dir_sources})
endforeach()
# The program's entry point belongs to the program target, not the engine.
list(FILTER TL_ENGINE_SOURCES EXCLUDE REGEX "/app/main\\.cpp$")

# The main window's form: the generator turns its menu table into the
# member lists and the build table that app/main_window_form.{h,cpp} include.
add_executable(tl_make_form ${CMAKE_SOURCE_DIR}/app/form/make_form.cpp)
set(TL_FORM_DIR ${CMAKE_BINARY_DIR}/generated/app)
set(TL_FORM_OUTPUTS ${TL_FORM_DIR}/main_window_actions.inc ${TL_FORM_DIR}/main_window_menus.inc
                    ${TL_FORM_DIR}/main_window_table.inc)
add_custom_command(OUTPUT ${TL_FORM_OUTPUTS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TL_FORM_DIR}
  COMMAND tl_make_form ${CMAKE_SOURCE_DIR}/app/form/main_window.tsv ${TL_FORM_DIR}
  DEPENDS tl_make_form ${CMAKE_SOURCE_DIR}/app/form/main_window.tsv
  COMMENT "Generating the main window's form")
list(APPEND TL_ENGINE_SOURCES ${TL_FORM_OUTPUTS})

file(GLOB TL_RESOURCE_BUNDLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.qrc)

add_library(qel STATIC ${TL_ENGINE_SOURCES} ${TL_RESOURCE_BUNDLES})
# The view is a QObject with a signal: its header goes through moc.
set_target_properties(qel PROPERTIES AUTOMOC ON)
target_include_directories(qel PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(qel PUBLIC Qt5::Core Qt5::Gui Qt5::Widgets)

# The view's keyboard state polls the keys through the keyboard library's
# window module.
find_package(SFML 2.5 REQUIRED COMPONENTS window)
target_link_libraries(qel PRIVATE sfml-window)

# Polygon triangulation: core/simple_polygon_cgal.cpp is the one source that
# includes CGAL headers, so CGAL's compile usage (-frounding-math and its
# definitions) is kept to that file; the engine only links CGAL's libraries.
set(CGAL_DO_NOT_WARN_ABOUT_CMAKE_BUILD_TYPE TRUE)
find_package(CGAL REQUIRED)
set_source_files_properties(${CMAKE_SOURCE_DIR}/core/simple_polygon_cgal.cpp PROPERTIES
  COMPILE_OPTIONS "$<TARGET_PROPERTY:CGAL::CGAL,INTERFACE_COMPILE_OPTIONS>"
  COMPILE_DEFINITIONS "$<TARGET_PROPERTY:CGAL::CGAL,INTERFACE_COMPILE_DEFINITIONS>")
get_target_property(TL_CGAL_LIBRARIES CGAL::CGAL INTERFACE_LINK_LIBRARIES)
target_link_libraries(qel PRIVATE ${TL_CGAL_LIBRARIES})

# The program, built into <build>/app/tessilor.
add_executable(tessilor ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(tessilor PRIVATE qel)
set_target_properties(tessilor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
