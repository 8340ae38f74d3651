# Installs both halves as one CMake package with a component each, a
# pkg-config file for the chart, and, for the top-level project, CPack.

include(CMakePackageConfigHelpers)
set(xamlpie_config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/xamlpie)

install(TARGETS xamlpie_chart EXPORT xamlpie-chart-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/chart/include/xamlpie
                  ${PROJECT_BINARY_DIR}/chart/include/xamlpie
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} PATTERN "*.in" EXCLUDE)
install(EXPORT xamlpie-chart-targets NAMESPACE xamlpie:: DESTINATION ${xamlpie_config_dir})

if(TARGET xamlpie_scene)
  install(TARGETS xamlpie_scene EXPORT xamlpie-scene-targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/scene/include/xamlpie
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT xamlpie-scene-targets NAMESPACE xamlpie:: DESTINATION ${xamlpie_config_dir})
endif()

if(TARGET xamlpie_markup)
  install(TARGETS xamlpie_markup EXPORT xamlpie-markup-targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/markup/include/xamlpie
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT xamlpie-markup-targets NAMESPACE xamlpie:: DESTINATION ${xamlpie_config_dir})
endif()

# The QML module where Debian's Qt looks for modules when installed in /usr
# (<libdir>/qt6/qml); elsewhere QML_IMPORT_PATH or addImportPath names it, as
# the package's xamlpie_QML_IMPORT_PATH says.
set(xamlpie_qml_dir ${CMAKE_INSTALL_LIBDIR}/qt6/qml)
if(TARGET xamlpie_quick)
  install(TARGETS xamlpie_quick EXPORT xamlpie-quick-targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/quick/include/xamlpie
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(TARGETS xamlpie_quickplugin LIBRARY DESTINATION ${xamlpie_qml_dir}/Xamlpie)
  install(FILES ${XAMLPIE_QML_DIR}/Xamlpie/qmldir ${XAMLPIE_QML_DIR}/Xamlpie/xamlpie_quick.qmltypes
    DESTINATION ${xamlpie_qml_dir}/Xamlpie)
  install(EXPORT xamlpie-quick-targets NAMESPACE xamlpie:: DESTINATION ${xamlpie_config_dir})
endif()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/xamlpieConfig.cmake.in
  ${PROJECT_BINARY_DIR}/xamlpieConfig.cmake INSTALL_DESTINATION ${xamlpie_config_dir}
  PATH_VARS xamlpie_qml_dir)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/xamlpieConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/xamlpieConfig.cmake ${PROJECT_BINARY_DIR}/xamlpieConfigVersion.cmake
  DESTINATION ${xamlpie_config_dir})

# pkg-config finds the prefix from where the file lies, so an unpacked or moved
# tree works as well as an installed one.
# Installed into the system (the Debian package), it names /usr, whose
# include folder compilers search anyway: no -I for pkg-config to print.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(xamlpie_pc_prefix "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH xamlpie_pc_up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" xamlpie_pc_up "${xamlpie_pc_up}")
  set(xamlpie_pc_prefix "\${pcfiledir}/${xamlpie_pc_up}")
endif()
if(BUILD_SHARED_LIBS)
  set(xamlpie_pc_cflags "")
else()
  set(xamlpie_pc_cflags " -DXAMLPIE_STATIC_DEFINE")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/xamlpie.pc.in ${PROJECT_BINARY_DIR}/xamlpie.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/xamlpie.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(XAMLPIE_MASTER_PROJECT AND CMAKE_HOST_UNIX)
  # What Debian's policy asks of every package's documentation folder: the
  # licence in its machine-readable form and the changes, compressed.
  find_program(XAMLPIE_GZIP gzip REQUIRED)
  execute_process(COMMAND ${XAMLPIE_GZIP} -9cn ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

if(XAMLPIE_MASTER_PROJECT)
  set(CPACK_PACKAGE_NAME xamlpie)
  set(CPACK_PACKAGE_VENDOR "The xamlpie developers")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
  set(CPACK_PACKAGE_DESCRIPTION
      "A C++20 library that turns slices into XAML markup for pie and doughnut charts (standard library only); Qt 6 widgets that draw charts: MarkupLabel for such markup and PieView, a chart bound to an item model; the QML module Xamlpie (PieChart, MarkupView); the demo xamlpie-demo, xamlpie-playground, which builds any chart and exports it as PNG, SVG, PDF or XAML, and two galleries: xamlpie-quick-gallery (QML charts on a model its table edits) and xamlpie-gallery (writes pictures of every chart feature to a folder).")
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The xamlpie developers <xamlpie@localhost>")
  set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the programs' Qt libraries
  # What find_package(xamlpie COMPONENTS markup) finds in turn: the label is a
  # static library, so Qt Widgets, Qt Svg and pugixml come to its consumers.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-base-dev (>= 6.4), qt6-svg-dev (>= 6.4), libpugixml-dev (>= 1.11)")
  if(TARGET xamlpie_quick)
    # find_package(xamlpie COMPONENTS quick), and what the Qt Quick gallery imports.
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-declarative-dev (>= 6.4), qml6-module-qtquick, "
           "qml6-module-qtquick-window, qml6-module-qtqml-workerscript, qml6-module-qtqml-models, "
           "qml6-module-qtquick-controls, qml6-module-qtquick-templates, qml6-module-qtquick-layouts")
  endif()
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkg-config, cmake")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_GENERATOR TGZ)
  include(CPack)
endif()
