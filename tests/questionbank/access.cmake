# The record-access layer: on tables held in memory, and on the generated banks and corpus files.
marvolen_add_test(access_tests
  SOURCES access_statement_test.cpp access_text_test.cpp access_recordset_test.cpp access_conversion_test.cpp
          access_comerror_test.cpp access_connection_string_test.cpp access_connection_test.cpp
  LIBS marvolen_questionbank Qt6::Core GTest::gtest_main)
