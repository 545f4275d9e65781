# SPDX-License-Identifier: MIT
# The one version of every deliverable is the project's; the commit is added
# where the sources are a git checkout. A new commit configures again, so the
# header follows it (configure_file rewrites it only when its text changes).
set(TESSALINE_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=12 HEAD
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE TESSALINE_COMMIT
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE tessaline_git_result)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE tessaline_git_dir
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT tessaline_git_result EQUAL 0)
    set(TESSALINE_COMMIT "")
  elseif(EXISTS "${tessaline_git_dir}/logs/HEAD")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${tessaline_git_dir}/logs/HEAD")
  endif()
endif()
configure_file(${PROJECT_SOURCE_DIR}/base/include/base/BuildVersion.h.in
  ${PROJECT_BINARY_DIR}/generated/base/BuildVersion.h @ONLY)
# The same version for the Windows version resources, which cannot take the
# C++ header: four numbers for FILEVERSION, and the text.
string(REPLACE "." ", " TESSALINE_VERSION_COMMAS "${PROJECT_VERSION}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/base/BuildVersion.rc.h
  CONTENT "// Written by CMake from the project's version.\n#define TESSALINE_VERSION_NUMBERS ${TESSALINE_VERSION_COMMAS}\n#define TESSALINE_VERSION_TEXT \"${TESSALINE_VERSION_COMMAS}\"\n")
