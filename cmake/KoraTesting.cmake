# kora_add_test(NAME <name> SOURCES <files...> [LABELS <labels...>] [LIBS <libs...>] [LAB])
# A Qt Test executable linked against the client library, registered with ctest.
# Every test gets its own scratch working directory so file-writing tests never collide.
# LAB: the test sends datagrams, so it runs inside the lab network (label "lab").
function(kora_add_test)
  cmake_parse_arguments(T "LAB" "NAME" "SOURCES;LABELS;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE kora_core Qt5::Test ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.work)
  file(MAKE_DIRECTORY ${work})
  if(T_LAB)
    add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/scripts/lab run -- $<TARGET_FILE:${T_NAME}>
      WORKING_DIRECTORY ${work})
    set(default_labels lab)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${work})
    set(default_labels unit)
  endif()
  if(NOT T_LABELS)
    set(T_LABELS ${default_labels})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software")
endfunction()
