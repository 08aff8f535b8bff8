# Compiler settings shared by every target of ours (not by third-party code).
set(QUIRELLE_WARNINGS -Wall -Wextra -Wpedantic -Werror)

if(QUIRELLE_SANITIZE)
  add_compile_options(-fsanitize=${QUIRELLE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUIRELLE_SANITIZE})
endif()

# quirelle_target(<name>): our warnings and the repository root as include root.
function(quirelle_target name)
  target_compile_options(${name} PRIVATE ${QUIRELLE_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# quirelle_test(<name> SOURCES ... LIBS ... [LABELS <label>] [TIMEOUT <seconds>]): one GoogleTest
# program registered with CTest; its tests carry one label, the subsystem (ctest -L takes a regular
# expression), and a timeout (60 s unless given), so that a deadlock fails instead of hanging.
function(quirelle_test name)
  cmake_parse_arguments(QT "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT QT_TIMEOUT)
    set(QT_TIMEOUT 60)
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${QT_SOURCES})
  quirelle_target(${name})
  target_link_libraries(${name} PRIVATE ${QT_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    QUIRELLE_CORPUS_DIR="${QUIRELLE_CORPUS_DIR}"
    QUIRELLE_TEST_DATA_DIR="${QUIRELLE_TEST_DATA_DIR}")
  include(GoogleTest)
  list(LENGTH QT_LABELS count)
  if(count GREATER 1)
    message(FATAL_ERROR "quirelle_test(${name}): give one label, not ${QT_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${QT_LABELS}" TIMEOUT ${QT_TIMEOUT})
endfunction()
