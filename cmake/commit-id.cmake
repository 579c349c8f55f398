# cmake -DSOURCE_DIR=... -DVERSION=x.y.z -DHEADER=... -DNSIS_HEADER=... -DREADME_SOURCE=... -DREADME=... -P commit-id.cmake
# Run at every build, not at configure time (a tree configured long ago would
# name an old commit): the id of the commit the sources are, into
#   HEADER        #define TAVRIN_PRODUCT_VERSION "x.y.z+<id>" for the saver's version resource,
#   NSIS_HEADER   !define COMMIT "<id>" for the installer,
#   README        README.txt of the downloads, made from README_SOURCE with
#                 the version and the id put in, with Windows' line ends.
# Each is written only when its text changes, so that a build of an unchanged
# commit rebuilds nothing and two builds of one commit give the same bytes.
#
# The id: git's HEAD, with "-dirty" when tracked files differ from it; in a
# tree without git, the id that `git archive` wrote into the file COMMIT
# (export-subst); else "unknown".
set(commit "")
find_program(GIT git)
if(GIT)
  # Only the source tree's own repository counts, not one that merely contains
  # an unpacked archive of it.
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --show-toplevel HEAD
    OUTPUT_VARIABLE lines OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed)
    string(REPLACE "\n" ";" lines "${lines}")
    list(GET lines 0 top)
    list(GET lines 1 head)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
    if(top STREQUAL source)
      set(commit "${head}")
      execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" --no-optional-locks status --porcelain --untracked-files=no
        OUTPUT_VARIABLE changes RESULT_VARIABLE failed ERROR_QUIET)
      if(failed OR NOT changes STREQUAL "")
        string(APPEND commit "-dirty")
      endif()
    endif()
  endif()
endif()
if(commit STREQUAL "" AND EXISTS "${SOURCE_DIR}/COMMIT")
  file(STRINGS "${SOURCE_DIR}/COMMIT" archived LIMIT_COUNT 1 REGEX "^[0-9a-f]+$")
  string(LENGTH "${archived}" length)
  if(length EQUAL 40)
    set(commit "${archived}")
  endif()
endif()
if(commit STREQUAL "")
  set(commit unknown)
endif()

# Only when the text differs: the file's time stays, and what depends on it is
# not rebuilt. (Compared as files: file(READ) would drop carriage returns.)
function(write_if_changed path text)
  file(WRITE "${path}.new" "${text}")
  file(COPY_FILE "${path}.new" "${path}" ONLY_IF_DIFFERENT)
  file(REMOVE "${path}.new")
endfunction()

write_if_changed("${HEADER}" "#define TAVRIN_PRODUCT_VERSION \"${VERSION}+${commit}\"\n")
write_if_changed("${NSIS_HEADER}" "!define COMMIT \"${commit}\"\n")

# The words of README.txt that name the commit, after "release x.y.z, ".
if(commit STREQUAL "unknown")
  set(TAVRIN_BUILT_FROM "built from sources that\nnamed no commit (no git, no id in the file COMMIT): no rebuild can be\ncompared with it.")
elseif(commit MATCHES "^(.*)-dirty$")
  set(TAVRIN_BUILT_FROM "built from commit\n${CMAKE_MATCH_1} with changes that were never\ncommitted (\"-dirty\"): no rebuild gives its bytes.")
else()
  set(TAVRIN_BUILT_FROM "built from commit\n${commit}.")
endif()
set(TAVRIN_VERSION "${VERSION}")
set(TAVRIN_COMMIT "${commit}")
string(REGEX REPLACE "-dirty$" "" TAVRIN_CHECKOUT "${commit}")
file(READ "${README_SOURCE}" readme)
string(CONFIGURE "${readme}" readme @ONLY)
string(REPLACE "\r\n" "\n" readme "${readme}")
string(REPLACE "\n" "\r\n" readme "${readme}")
write_if_changed("${README}" "${readme}")
