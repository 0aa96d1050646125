# The picture types that the Windows build reads, for Explorer's "Open with":
# the formats built into Qt6Gui.dll (as its build configured them) and the
# keys of every image-format plugin shipped in imageformats\. Writes an NSIS
# header that the installer includes (cmake/NSIS.template.in):
#   cmake -DQTGUI_CONFIG=.../qtgui-config.h -DPLUGINS="a.dll;b.dll" -DOUTPUT=picture-types.nsh
#         -P windows-picture-types.cmake
#
# Qt reads these plugins as it reads any plugin: by the metadata compiled
# into them (the plugin's JSON as CBOR, behind Qt's "qt_project!" marker).
# Its "Keys" are the file suffixes the plugin reads.

set(suffixes)

# Qt6Gui's own readers, from the feature switches of the Qt that is shipped
# (qimagereaderwriterhelpers_p.h: png; bmp; ppm, pgm, pbm; xbm; xpm).
file(STRINGS "${QTGUI_CONFIG}" features REGEX "^#define QT_FEATURE_imageformat_[a-z]+ 1")
foreach(feature IN LISTS features)
  string(REGEX REPLACE "^#define QT_FEATURE_imageformat_([a-z]+) 1" "\\1" format "${feature}")
  if(format STREQUAL "ppm")
    list(APPEND suffixes ppm pgm pbm)
  elseif(format MATCHES "^(png|bmp|xbm|xpm)$")
    list(APPEND suffixes ${format})
  endif()
endforeach()

# CBOR as Qt writes it here: a text string of fewer than 24 bytes is one byte
# 0x60 + length and the bytes; an array of fewer than 24 items one byte
# 0x80 + count.
foreach(plugin IN LISTS PLUGINS)
  file(READ "${plugin}" hex HEX)
  # "Keys", a text string of four bytes.
  string(FIND "${hex}" "644b657973" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${plugin}: no Keys in its plugin metadata")
  endif()
  math(EXPR at "${at} + 10")
  string(SUBSTRING "${hex}" ${at} 2 head)
  math(EXPR count "0x${head} - 0x80")
  if(count LESS 1 OR count GREATER 23)
    message(FATAL_ERROR "${plugin}: its Keys are not a short array")
  endif()
  math(EXPR at "${at} + 2")
  foreach(i RANGE 1 ${count})
    string(SUBSTRING "${hex}" ${at} 2 head)
    math(EXPR length "0x${head} - 0x60")
    if(length LESS 1 OR length GREATER 23)
      message(FATAL_ERROR "${plugin}: a key that is not a short text")
    endif()
    math(EXPR at "${at} + 2")
    math(EXPR chars "${length} * 2")
    string(SUBSTRING "${hex}" ${at} ${chars} key)
    math(EXPR at "${at} + ${chars}")
    # Hex to text, two digits at a time.
    string(REGEX REPLACE "(..)" "\\1;" key_bytes "${key}")
    set(text "")
    foreach(byte IN LISTS key_bytes)
      if(byte)
        math(EXPR code "0x${byte}")
        string(ASCII ${code} char)
        string(APPEND text "${char}")
      endif()
    endforeach()
    string(TOLOWER "${text}" text)
    if(NOT text MATCHES "^[a-z0-9]+$")
      message(FATAL_ERROR "${plugin}: an odd key '${text}'")
    endif()
    list(APPEND suffixes ${text})
  endforeach()
endforeach()

list(REMOVE_DUPLICATES suffixes)
list(SORT suffixes)
if(NOT suffixes)
  message(FATAL_ERROR "the Windows build reads no picture type")
endif()
set(nsh "; Written by cmake/windows-picture-types.cmake: the picture types the\n")
string(APPEND nsh "; Windows build reads. !insertmacro LUMARO_PICTURE_TYPES MACRO calls\n")
string(APPEND nsh "; MACRO once for each, with the suffix and its dot (\".png\").\n")
string(APPEND nsh "!macro LUMARO_PICTURE_TYPES MACRO\n")
foreach(suffix IN LISTS suffixes)
  string(APPEND nsh "  !insertmacro \${MACRO} \".${suffix}\"\n")
endforeach()
string(APPEND nsh "!macroend\n")
file(WRITE "${OUTPUT}.new" "${nsh}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
list(JOIN suffixes " " shown)
message(STATUS "Open with: ${shown}")
