# kora_add_test(NAME <name> SOURCES <files...> [LABELS <labels...>] [LIBS <libs...>] [CORE <lib>] [LAB])
# A Qt Test executable linked against the client library (or the smaller library CORE names),
# registered with ctest.
# Every test gets its own scratch working directory so file-writing tests never collide.
# LAB: the test sends datagrams, so it runs inside the lab network (label "lab").
function(kora_add_test)
  cmake_parse_arguments(T "LAB" "NAME;CORE" "SOURCES;LABELS;LIBS" ${ARGN})
  if(NOT T_CORE)
    set(T_CORE kora_core)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_CORE} Qt5::Test ${T_LIBS})
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

# kora_add_sample_lab_test(NAME <name> SOURCES <files...>)
# A Qt Test executable run on the client side of scripts/with-lab, kora-lab serving the lab
# sample package. The lab's subnet changes from run to run: the package is built for it as
# the lab starts.
function(kora_add_sample_lab_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE kora_core Qt5::Test)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(${T_NAME} kora_sample_lab kora-lab)
  add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-lab --bin ${PROJECT_BINARY_DIR}/bin
    --lab-args "--project \"$(${PROJECT_SOURCE_DIR}/tests/walls/lab-package ${PROJECT_SOURCE_DIR}/samples/lab)\""
    -- $<TARGET_FILE:${T_NAME}>)
  set_tests_properties(${T_NAME} PROPERTIES LABELS "lab" TIMEOUT 180
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software")
endfunction()
