# Writes the software-centre metadata. Its release date is that of the
# sources, never the day of the build: SOURCE_DATE_EPOCH where it is set (as
# Debian's package builds set it), else the last commit's date, else (the
# sources without their git history, such as a tarball) the date of the top
# CMakeLists.txt, which git archive sets to the commit's. In UTC.
#   cmake -DSOURCE_DIR=… -DINPUT=… -DOUTPUT=… [-DGIT_EXECUTABLE=git]
#         -DPROJECT_VERSION=… -DLUMARO_WEB_HOST=… -DLUMARO_SCREENSHOT_HEIGHT=…
#         -P metainfo.cmake
cmake_minimum_required(VERSION 3.22)

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND GIT_EXECUTABLE)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
    WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE top RESULT_VARIABLE failed
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # Only the sources' own history counts: a tarball unpacked inside some
  # other repository must not take that one's date.
  if(NOT failed)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
    if(top STREQUAL source)
      execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
        WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE epoch RESULT_VARIABLE failed
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(NOT failed AND epoch MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} ${epoch})
      endif()
    endif()
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP LUMARO_RELEASE_DATE "%Y-%m-%d" UTC) # reads SOURCE_DATE_EPOCH
else()
  file(TIMESTAMP "${SOURCE_DIR}/CMakeLists.txt" LUMARO_RELEASE_DATE "%Y-%m-%d" UTC)
endif()
configure_file(${INPUT} ${OUTPUT} @ONLY)
