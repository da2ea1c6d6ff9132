# The record-access layer on tables held in memory.
marvolen_add_test(access_tests
  SOURCES access_statement_test.cpp access_text_test.cpp access_recordset_test.cpp access_conversion_test.cpp
          access_comerror_test.cpp access_connection_string_test.cpp
  LIBS marvolen_questionbank GTest::gtest_main)

# Connection::Open on real files needs the Jet reader; until it has its sources the placeholder
# defines nothing and this executable could not link.
file(READ ${PROJECT_SOURCE_DIR}/questionbank/jet/reader.cmake MARVOLEN_READER_SOURCES)
if(NOT MARVOLEN_READER_SOURCES MATCHES "Stub")
  marvolen_add_test(access_file_tests
    SOURCES access_connection_test.cpp
    LIBS marvolen_questionbank Qt6::Core GTest::gtest_main)
endif()
