# Two precompiled headers per tree: one for the program's libraries and executables, one for the
# tests (QtTest, GoogleTest and GoogleMock on top). Every target reuses one of them, so each is
# compiled once. GCC skips a header made with other flags (-Winvalid-pch says so) and clang
# refuses it, so the targets that take part get the same macros and thread flag; the fuzz
# targets, with flags of their own, do without.

set(PARLAVUE_PCH_PROGRAM_HEADERS
    <algorithm> <array> <atomic> <chrono> <functional> <map> <memory> <mutex> <optional> <vector>
    <QByteArray> <QCoreApplication> <QDir> <QElapsedTimer> <QFile> <QFileInfo> <QHostAddress>
    <QList> <QObject> <QString> <QStringList> <QTimer> <QtGlobal>
    <QColor> <QImage> <QPainter> <QApplication> <QDialog> <QLabel> <QLineEdit> <QWidget>)
set(PARLAVUE_PCH_TEST_HEADERS ${PARLAVUE_PCH_PROGRAM_HEADERS}
    <QSignalSpy> <QTemporaryDir> <QTest> <gtest/gtest.h> <gmock/gmock.h>)

# Made before the targets: one empty source per owner, compiled with the tree's flags.
function(_parlavue_pch_owner name)
  set(_source ${CMAKE_BINARY_DIR}/${name}.cpp)
  if(NOT EXISTS ${_source})
    file(WRITE ${_source} "// The precompiled header's own translation unit.\n")
  endif()
  add_library(${name} STATIC ${_source})
  target_precompile_headers(${name} PRIVATE ${ARGN})
endfunction()

# Every static library and executable beneath dir, recursively.
function(_parlavue_targets_beneath dir out)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_sub IN LISTS _subdirs)
    _parlavue_targets_beneath(${_sub} _more)
    list(APPEND _targets ${_more})
  endforeach()
  set(${out} ${_targets} PARENT_SCOPE)
endfunction()

function(_parlavue_pch_enabled out)
  if(PARLAVUE_PCH AND CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# A header is taken only where the macros and the thread support it was made with are alike: the
# Qt module macros, and -pthread, which GStreamer's and Avahi's flags bring to some targets.
set(PARLAVUE_PCH_MACROS QT_CORE_LIB QT_GUI_LIB QT_WIDGETS_LIB QT_NETWORK_LIB)

function(_parlavue_pch_reuse target owner)
  target_compile_definitions(${target} PRIVATE ${PARLAVUE_PCH_MACROS} ${ARGN})
  target_compile_options(${target} PRIVATE -pthread)
  target_precompile_headers(${target} REUSE_FROM ${owner})
endfunction()

# The tests' header, made in tests/ (QtTest's macros name the folder), for the runners there.
function(parlavue_precompile_test_headers)
  _parlavue_pch_enabled(_on)
  if(NOT _on)
    return()
  endif()
  _parlavue_pch_owner(parlavue_pch_tests ${PARLAVUE_PCH_TEST_HEADERS})
  target_compile_definitions(parlavue_pch_tests PRIVATE ${PARLAVUE_PCH_MACROS} GTEST_HAS_PTHREAD=1)
  target_compile_options(parlavue_pch_tests PRIVATE -pthread)
  target_link_libraries(parlavue_pch_tests PRIVATE Qt6::Widgets Qt6::Network Qt6::Test GTest::gtest
                        GTest::gmock)
  get_property(_targets DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
  foreach(_target IN LISTS _targets)
    get_target_property(_links ${_target} LINK_LIBRARIES)
    if(_target STREQUAL "parlavue_pch_tests" OR NOT "Qt6::Test" IN_LIST _links)
      continue()
    endif()
    _parlavue_pch_reuse(${_target} parlavue_pch_tests GTEST_HAS_PTHREAD=1)
  endforeach()
endfunction()

# The program's header for every other library and executable of the tree.
function(parlavue_precompile_headers)
  _parlavue_pch_enabled(_on)
  if(NOT _on)
    return()
  endif()
  _parlavue_pch_owner(parlavue_pch_program ${PARLAVUE_PCH_PROGRAM_HEADERS})
  target_compile_definitions(parlavue_pch_program PRIVATE ${PARLAVUE_PCH_MACROS})
  target_compile_options(parlavue_pch_program PRIVATE -pthread)
  target_link_libraries(parlavue_pch_program PRIVATE Qt6::Widgets Qt6::Network)
  _parlavue_targets_beneath(${PROJECT_SOURCE_DIR} _targets)
  foreach(_target IN LISTS _targets)
    get_target_property(_type ${_target} TYPE)
    get_target_property(_reuses ${_target} PRECOMPILE_HEADERS_REUSE_FROM)
    # Fuzz targets have flags of their own.
    if(NOT _type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$" OR _target MATCHES "^parlavue_pch_|_fuzz$"
       OR _reuses)
      continue()
    endif()
    _parlavue_pch_reuse(${_target} parlavue_pch_program)
  endforeach()
endfunction()
