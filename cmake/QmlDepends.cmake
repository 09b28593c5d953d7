# The Debian packages that provide the QML modules the pages import, read from the
# "import X" lines of every .qml and .js file under a folder. An import this table does not
# know stops the configuration, so the package's list cannot silently fall behind the pages.
#
#   include(cmake/QmlDepends.cmake)
#   kora_qml_depends(<out-var> <qml-folder>)   -> "qml-module-qtquick2, ..."
# or, to print the list:  cmake -DQML_DIR=<folder> -P cmake/QmlDepends.cmake

# Module -> package; an empty package means the module comes with the client itself.
set(KORA_QML_PACKAGES
  "QtQuick=qml-module-qtquick2"
  "QtQuick.Window=qml-module-qtquick-window2"
  "QtQuick.Controls=qml-module-qtquick-controls2"
  "QtQuick.Templates=qml-module-qtquick-templates2"
  "QtQuick.Layouts=qml-module-qtquick-layouts"
  "QtGraphicalEffects=qml-module-qtgraphicaleffects"
  "QtWebView=qml-module-qtwebview"
  "Qt.labs.platform=qml-module-qt-labs-platform"
  "QtQml.Models=qml-module-qtqml-models2"
  "Custom.VX.ffmpeg=")

function(kora_qml_depends out dir)
  file(GLOB_RECURSE sources "${dir}/*.qml" "${dir}/*.js")
  set(packages "")
  foreach(source IN LISTS sources)
    # Module imports only: quoted imports are the pages' own folders and scripts.
    file(STRINGS "${source}" lines REGEX "^[ \t]*\\.?import[ \t]+[A-Za-z]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*\\.?import[ \t]+([A-Za-z][A-Za-z0-9_.]*).*" "\\1" module "${line}")
      set(found FALSE)
      foreach(entry IN LISTS KORA_QML_PACKAGES)
        if(entry MATCHES "^([^=]+)=(.*)$" AND CMAKE_MATCH_1 STREQUAL module)
          set(found TRUE)
          list(APPEND packages ${CMAKE_MATCH_2})
        endif()
      endforeach()
      if(NOT found)
        message(FATAL_ERROR "${source}: no Debian package known for the QML module \"${module}\"; "
                            "add it to KORA_QML_PACKAGES in cmake/QmlDepends.cmake")
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES packages)
  list(SORT packages)
  list(JOIN packages ", " joined)
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND QML_DIR)
  kora_qml_depends(list "${QML_DIR}")
  message("${list}")
endif()
