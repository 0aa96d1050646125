# Writes the desktop entry and the software-centre metadata with the picture
# types that the build's picture_types printed (one a line in TYPES):
#   cmake -DTYPES=... -DDESKTOP_IN=... -DDESKTOP=... -DMETAINFO_IN=... -DMETAINFO=... -P picture-types.cmake
file(STRINGS "${TYPES}" types)
if(NOT types)
  message(FATAL_ERROR "Qt reads no picture type here")
endif()
list(JOIN types ";" LUMARO_PICTURE_TYPES)
string(APPEND LUMARO_PICTURE_TYPES ";")
set(LUMARO_MEDIA_TYPES "")
foreach(type IN LISTS types)
  string(APPEND LUMARO_MEDIA_TYPES "    <mediatype>${type}</mediatype>\n")
endforeach()
string(REGEX REPLACE "\n$" "" LUMARO_MEDIA_TYPES "${LUMARO_MEDIA_TYPES}")
configure_file("${DESKTOP_IN}" "${DESKTOP}" @ONLY)
configure_file("${METAINFO_IN}" "${METAINFO}" @ONLY)
