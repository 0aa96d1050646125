# The Windows build: the program's icon in its .exe, the Qt and mingw runtime
# DLLs beside it (in the build folder, so that every .exe there runs as it
# is, and in the installation), and the installer.

# The exe's own icon (Explorer, the Start menu, the task bar before the
# window sets its own) and a window program without a console.
configure_file(${PROJECT_SOURCE_DIR}/src/window/resources/lumaro.rc.in
               ${CMAKE_BINARY_DIR}/lumaro.rc @ONLY)
target_sources(lumaro PRIVATE ${CMAKE_BINARY_DIR}/lumaro.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/lumaro.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/src/window/resources/lumaro.manifest;${PROJECT_SOURCE_DIR}/src/window/resources/lumaro.ico")
set_target_properties(lumaro PROPERTIES WIN32_EXECUTABLE ON)

# Who made it: the vendor, and the copyright line of the package's copyright
# file ("Copyright: 2026 The Lumaro developers").
set(LUMARO_VENDOR "The Lumaro developers")
file(STRINGS ${PROJECT_SOURCE_DIR}/desktop/copyright copyright_line REGEX "^Copyright: " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright: *" "" copyright_line "${copyright_line}")
if(NOT copyright_line)
  message(FATAL_ERROR "desktop/copyright has no Copyright: line")
endif()
set(LUMARO_COPYRIGHT "Copyright © ${copyright_line}")

# The version resource of lumaro.exe and of CameraDll.dll.
function(lumaro_version_resource target file type description)
  set(LUMARO_FILE ${file})
  get_filename_component(LUMARO_FILE_STEM ${file} NAME_WE)
  set(LUMARO_FILE_TYPE ${type})
  set(LUMARO_FILE_DESCRIPTION "${description}")
  set(rc ${CMAKE_BINARY_DIR}/${LUMARO_FILE_STEM}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/window/resources/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
lumaro_version_resource(lumaro lumaro.exe VFT_APP "Lumaro 图片配字与截图")
lumaro_version_resource(CameraDll CameraDll.dll VFT_DLL "Lumaro 屏幕区域截取库")

# What runs beside lumaro.exe. QT6_INSTALL_PREFIX comes from Qt's own CMake files.
set(LUMARO_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH
    "Where qtbase_zh_CN.qm is (Debian: qt6-translations-l10n; the file is the same on every system)")
set(qt ${QT6_INSTALL_PREFIX})
set(runtime_dlls
    ${qt}/${QT6_INSTALL_BINS}/Qt6Core.dll
    ${qt}/${QT6_INSTALL_BINS}/Qt6Gui.dll
    ${qt}/${QT6_INSTALL_BINS}/Qt6Widgets.dll)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  find_file(LUMARO_DLL_${dll} ${dll} PATHS ${LUMARO_MINGW_RUNTIME_DIRS} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT LUMARO_DLL_${dll})
    message(FATAL_ERROR "${dll} not found in ${LUMARO_MINGW_RUNTIME_DIRS} (cmake/mingw-w64-x86_64.cmake)")
  endif()
  list(APPEND runtime_dlls ${LUMARO_DLL_${dll}})
endforeach()
set(plugins_dir ${qt}/${QT6_INSTALL_PLUGINS})
file(GLOB imageformat_plugins ${plugins_dir}/imageformats/*.dll)
file(GLOB style_plugins ${plugins_dir}/styles/*.dll)
set(translation ${LUMARO_QT_TRANSLATIONS}/qtbase_zh_CN.qm)
if(NOT EXISTS ${translation})
  message(FATAL_ERROR "${translation} is missing (Debian: qt6-translations-l10n)")
endif()
# Qt looks for its plugins and translations relative to the exe.
set(qt_conf ${CMAKE_CURRENT_LIST_DIR}/qt.conf)

# The build folder: everything in bin/ runs under Wine or Windows as built.
# The offscreen platform and QtTest are for the test programs only.
set(bin ${CMAKE_BINARY_DIR}/bin)
add_custom_target(lumaro_runtime ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/imageformats ${bin}/styles ${bin}/translations
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${runtime_dlls} ${qt}/${QT6_INSTALL_BINS}/Qt6Test.dll ${qt_conf} ${bin}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${plugins_dir}/platforms/qwindows.dll
          ${plugins_dir}/platforms/qoffscreen.dll ${bin}/platforms
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${imageformat_plugins} ${bin}/imageformats
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${style_plugins} ${bin}/styles
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${translation} ${bin}/translations
  VERBATIM)

# Qt's offscreen platform (the test programs) reads its fonts from lib/fonts
# beside them: this system's CJK fonts and the default sans font, linked.
set(test_fonts)
foreach(font /usr/share/fonts/truetype/arphic/uming.ttc /usr/share/fonts/truetype/wqy/wqy-microhei.ttc
             /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf)
  if(EXISTS ${font})
    get_filename_component(name ${font} NAME)
    list(APPEND test_fonts COMMAND ${CMAKE_COMMAND} -E create_symlink ${font} ${bin}/lib/fonts/${name})
  endif()
endforeach()
add_custom_target(lumaro_test_fonts ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/lib/fonts
  ${test_fonts}
  VERBATIM)

# The installation: one folder, bin/, as in the build.
install(FILES ${runtime_dlls} ${qt_conf} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${plugins_dir}/platforms/qwindows.dll DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES ${imageformat_plugins} DESTINATION ${CMAKE_INSTALL_BINDIR}/imageformats)
install(FILES ${style_plugins} DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
install(FILES ${translation} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)

# "Open with" in the installer: the picture types of Qt6Gui's own readers and
# of the plugins shipped, read from them when Lumaro is built.
set(picture_types_nsh ${CMAKE_BINARY_DIR}/picture-types.nsh)
set(qtgui_config ${qt}/${QT6_INSTALL_HEADERS}/QtGui/qtgui-config.h)
add_custom_command(OUTPUT ${picture_types_nsh}
  COMMAND ${CMAKE_COMMAND} -DQTGUI_CONFIG=${qtgui_config} "-DPLUGINS=${imageformat_plugins}"
          -DOUTPUT=${picture_types_nsh} -P ${CMAKE_CURRENT_LIST_DIR}/windows-picture-types.cmake
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/windows-picture-types.cmake ${qtgui_config} ${imageformat_plugins}
  VERBATIM)
add_custom_target(lumaro_picture_types ALL DEPENDS ${picture_types_nsh})
set(lumaro_cmake_dir ${CMAKE_CURRENT_LIST_DIR})

# The installer (NSIS, Debian's makensis) and a portable zip:
# cpack in the build folder writes lumaro-<version>-win64.exe and .zip.
macro(lumaro_windows_package)
  set(CPACK_GENERATOR NSIS ZIP)
  set(CPACK_PACKAGE_FILE_NAME lumaro-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Lumaro)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Lumaro)
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/src/window/resources/lumaro.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/src/window/resources/lumaro.ico)
  set(CPACK_NSIS_URL_INFO_ABOUT "https://${LUMARO_FORUM_HOST}/")
  # Our own script (cmake/NSIS.template.in): Chinese only, for the current
  # user or all users, "Open with", an upgrade in place.
  set(CPACK_MODULE_PATH ${lumaro_cmake_dir})
  set(CPACK_LUMARO_PICTURE_TYPES ${picture_types_nsh})
  set(CPACK_LUMARO_COPYRIGHT "${LUMARO_COPYRIGHT}")
  set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
  # A 64-bit installer: it runs wherever the program does (also under a
  # 64-bit-only Wine) and writes to the 64-bit Program Files and registry.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_ZIP_COMPONENT_INSTALL OFF)
  set(CPACK_STRIP_FILES ON)
endmacro()
