# Writes the program's version header, run on every build so that a new
# commit shows in the product version without a new configure:
#   cmake -DSOURCE_DIR=... -DOUT=.../version.h -DVERSION=1.0.0 -P version.cmake
# A checkout at the tag v<VERSION> gives "1.0.0"; any other commit
# "1.0.0+g1a2b3c4"; no git at all (a source archive) "1.0.0". The file is
# rewritten only when its text changes, so nothing is rebuilt for nothing.
set(product "${VERSION}")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --tags --exact-match --match "v${VERSION}"
                  RESULT_VARIABLE atTag OUTPUT_QUIET ERROR_QUIET)
  if(NOT atTag EQUAL 0)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=7 HEAD
                    RESULT_VARIABLE status OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(status EQUAL 0 AND commit)
      set(product "${VERSION}+g${commit}")
    endif()
  endif()
endif()
string(REPLACE "." ";" parts "${VERSION}")
list(GET parts 0 major)
list(GET parts 1 minor)
list(GET parts 2 patch)
set(text "// Made by cmake/version.cmake at build time; not kept in git.
#pragma once
#define PLIX_VERSION_MAJOR ${major}
#define PLIX_VERSION_MINOR ${minor}
#define PLIX_VERSION_PATCH ${patch}
#define PLIX_FILE_VERSION \"${VERSION}\"
#define PLIX_PRODUCT_VERSION \"${product}\"
")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
