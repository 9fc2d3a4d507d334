# The program's version, kept in one place: the project's version (project()
# in the top CMakeLists.txt) and the commit the build is made from. The
# command line's --version, the About box, the Windows resources, the
# installer and the release's file names all read it from here:
#
#   <build>/generated/velt_version.h   VELT_VERSION_TEXT, VELT_BUILD_DATE
#   <build>/version.txt                the version text alone (scripts)
#
# The build configures again when HEAD moves (every commit and checkout
# writes HEAD's log), so that the commit stays true.
set(VELT_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=8 HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE VELT_COMMIT
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE VELT_GIT_HEAD_LOG
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(VELT_GIT_HEAD_LOG AND EXISTS ${VELT_GIT_HEAD_LOG})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELT_GIT_HEAD_LOG})
  endif()
endif()
if(VELT_COMMIT)
  set(VELT_VERSION_TEXT "${PROJECT_VERSION}-${VELT_COMMIT}")
else()
  set(VELT_VERSION_TEXT "${PROJECT_VERSION}")
endif()
# SOURCE_DATE_EPOCH, where set, fixes the date for a reproducible build.
string(TIMESTAMP VELT_BUILD_DATE "%d.%m.%Y" UTC)
# The numeric form that Windows' version resource wants: 1.0 -> 1,0,0,0.
set(VELT_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR}")
foreach(part PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    string(APPEND VELT_VERSION_NUMBERS ",0")
  else()
    string(APPEND VELT_VERSION_NUMBERS ",${PROJECT_VERSION_${part}}")
  endif()
endforeach()

set(VELT_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/velt_version.h.in ${VELT_GENERATED_DIR}/velt_version.h @ONLY)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/version.txt CONTENT "${VELT_VERSION_TEXT}\n")
