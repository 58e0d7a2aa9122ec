# The engine: namespace qel, built as one static library per floor. Each
# floor links only the floors below it, so a call that reaches a floor above
# its own fails to link instead of passing review:
#   core -> gl -> scene -> mesh, curves -> elements -> tools -> files -> view -> app
# mesh and curves share a floor as two libraries that never refer to each
# other, so no cycle can form between them. Sources are picked up per folder
# so that adding a file needs no edit here.
set(TL_FLOORS core gl scene mesh curves elements tools files view app)
set(TL_FLOOR_BELOW_core)
set(TL_FLOOR_BELOW_gl core)
set(TL_FLOOR_BELOW_scene gl)
set(TL_FLOOR_BELOW_mesh scene)
set(TL_FLOOR_BELOW_curves scene)
set(TL_FLOOR_BELOW_elements mesh curves)
set(TL_FLOOR_BELOW_tools elements)
set(TL_FLOOR_BELOW_files tools)
set(TL_FLOOR_BELOW_view files)
set(TL_FLOOR_BELOW_app view)

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

file(GLOB TL_RESOURCE_BUNDLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.qrc)

foreach(floor ${TL_FLOORS})
  file(GLOB floor_sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${floor}/*.cpp ${CMAKE_SOURCE_DIR}/${floor}/*.h)
  # The program's entry point belongs to the program target, not the engine.
  list(FILTER floor_sources EXCLUDE REGEX "/app/main\\.cpp$")
  add_library(tl_${floor} STATIC ${floor_sources})
  # The view and the shell hold QObjects with signals and slots.
  set_target_properties(tl_${floor} PROPERTIES AUTOMOC ON)
  target_include_directories(tl_${floor} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(tl_${floor} PUBLIC Qt5::Core Qt5::Gui Qt5::Widgets)
  foreach(below ${TL_FLOOR_BELOW_${floor}})
    target_link_libraries(tl_${floor} PUBLIC tl_${below})
  endforeach()
endforeach()
# The resource bundles are registered by the GPU floor (gl/resources.cpp).
target_sources(tl_gl PRIVATE ${TL_RESOURCE_BUNDLES})
target_sources(tl_app PRIVATE ${TL_FORM_OUTPUTS})

# The whole engine, for the program, the tests that drive it whole, the
# benchmarks and the fuzz targets.
add_library(qel INTERFACE)
target_link_libraries(qel INTERFACE tl_app)

# The view's keyboard state polls the keys through the keyboard library's
# window module.
find_package(SFML 2.5 REQUIRED COMPONENTS window)
target_link_libraries(tl_view PRIVATE sfml-window)

# Polygon triangulation: core/simple_polygon_cgal.cpp is the one source that
# includes CGAL headers, so CGAL's compile usage (-frounding-math and its
# definitions) is kept to that file; the engine only links CGAL's libraries.
set(CGAL_DO_NOT_WARN_ABOUT_CMAKE_BUILD_TYPE TRUE)
find_package(CGAL REQUIRED)
set_source_files_properties(${CMAKE_SOURCE_DIR}/core/simple_polygon_cgal.cpp
  TARGET_DIRECTORY tl_core PROPERTIES
  COMPILE_OPTIONS "$<TARGET_PROPERTY:CGAL::CGAL,INTERFACE_COMPILE_OPTIONS>"
  COMPILE_DEFINITIONS "$<TARGET_PROPERTY:CGAL::CGAL,INTERFACE_COMPILE_DEFINITIONS>")
get_target_property(TL_CGAL_LIBRARIES CGAL::CGAL INTERFACE_LINK_LIBRARIES)
target_link_libraries(tl_core PRIVATE ${TL_CGAL_LIBRARIES})

# Work behind the frames runs on threads of its own (core/background_job.h).
find_package(Threads REQUIRED)
target_link_libraries(tl_core PUBLIC Threads::Threads)

# The proof of the floors: every object of a floor's library is linked into
# a small program together with the floors below it and nothing above, so a
# call from a floor to code on a higher floor is an undefined reference and
# the build stops there.
foreach(floor ${TL_FLOORS})
  add_executable(tl_floor_${floor} ${CMAKE_SOURCE_DIR}/cmake/floor_main.cpp)
  target_link_libraries(tl_floor_${floor} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,tl_${floor}>")
endforeach()

# The program, built into <build>/app/tessilor.
add_executable(tessilor ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(tessilor PRIVATE qel)
set_target_properties(tessilor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
