# quizbank: the source format and the checks as a library, and the tool as a program.
marvolen_add_test(tool_tests
  SOURCES tool_source_test.cpp tool_check_test.cpp tool_tsv_test.cpp tool_cli_test.cpp tool_testing.h
  LIBS marvolen_banksource marvolen_jet_reader marvolen_jet_writer Qt6::Core GTest::gtest_main)
target_compile_definitions(tool_tests PRIVATE
  QUIZBANK_EXECUTABLE="$<TARGET_FILE:quizbank>"
  QUIZBANK_SAMPLE_SOURCE="${PROJECT_SOURCE_DIR}/res/bank/tovra.toml")
add_dependencies(tool_tests quizbank)
