# kora_add_test(NAME <name> SOURCES <files...> [LABELS <labels...>] [LIBS <libs...>])
# A Qt Test executable linked against the client library, registered with ctest.
# Every test gets its own scratch working directory so file-writing tests never collide.
function(kora_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LABELS;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE kora_core Qt5::Test ${T_LIBS})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.work)
  file(MAKE_DIRECTORY ${work})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${work})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;KORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
