# cmake -DNM=<nm> -DDLLTOOL=<dlltool> -DIMPORT_LIBRARY=<libuser32.a> -DDLL=<USER32.dll> -DOUTPUT=<lib.a> -P delay-import-library.cmake
#
# Makes a delay-load import library for DLL with every function the
# toolchain's own import library lists: the saver then names only the DLLs it
# really needs in its import directory, and loads the rest itself once the
# search for them has been confined to the system folder (host/system_modules_win.cpp).
execute_process(COMMAND "${NM}" -g --defined-only "${IMPORT_LIBRARY}"
  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
# A function has an import slot (I __imp_Name) and a call thunk (T Name);
# data has only the slot, and data cannot be delay-loaded.
string(REGEX MATCHALL "[^\n]* T [^\n]+" thunks "${symbols}")
set(exports "")
foreach(line IN LISTS thunks)
  string(REGEX REPLACE ".* T " "" name "${line}")
  if(symbols MATCHES " I __imp_${name}\n" AND NOT name MATCHES "^_")
    string(APPEND exports "  ${name}\n")
  endif()
endforeach()
if(exports STREQUAL "")
  message(FATAL_ERROR "no functions found in ${IMPORT_LIBRARY}")
endif()
# dlltool names the library's symbols after the output's path as given: made
# in its own folder, the DLL's descriptor is __DELAY_IMPORT_DESCRIPTOR_<file
# name with _ for . and ->, whichever folder the build is in.
get_filename_component(work "${OUTPUT}" DIRECTORY)
get_filename_component(file "${OUTPUT}" NAME)
file(WRITE "${OUTPUT}.def" "LIBRARY \"${DLL}\"\nEXPORTS\n${exports}")
execute_process(COMMAND "${DLLTOOL}" --dllname "${DLL}" --input-def "${file}.def" --output-delaylib "${file}"
  WORKING_DIRECTORY "${work}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not make ${OUTPUT}")
endif()
