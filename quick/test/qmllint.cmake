# Runs qmllint on the README's QML example and on the gallery against the
# built module: any warning fails, as it would show in Qt Creator.
#   cmake -DQMLLINT=... -DIMPORT_DIR=... -DREADME=... -DOUT=... -P qmllint.cmake FILE.qml...
file(READ "${README}" readme)
string(FIND "${readme}" "```qml\n" begin)
if(begin EQUAL -1)
  message(FATAL_ERROR "${README} has no QML example")
endif()
math(EXPR begin "${begin} + 7")
string(SUBSTRING "${readme}" ${begin} -1 rest)
string(FIND "${rest}" "```" end)
string(SUBSTRING "${rest}" 0 ${end} example)
file(WRITE "${OUT}/ReadmeExample.qml" "${example}")

set(files "${OUT}/ReadmeExample.qml")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(CMAKE_ARGV${i} MATCHES "\\.qml$")
    list(APPEND files "${CMAKE_ARGV${i}}")
  endif()
endforeach()
execute_process(COMMAND "${QMLLINT}" -I "${IMPORT_DIR}" ${files}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR out MATCHES "Warning")
  message(FATAL_ERROR "qmllint on ${files}:\n${out}")
endif()
message(STATUS "qmllint: ${files} clean")
