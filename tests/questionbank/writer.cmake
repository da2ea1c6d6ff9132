# The Jet writer, checked by reading its files back with mdb-export, mdb-reader and our own reader.
marvolen_add_test(writer_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/writer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/writer_readback_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/writer_readers.h
  LIBS marvolen_jet_writer marvolen_jet_reader Qt6::Core GTest::gtest_main)
target_compile_definitions(writer_test PRIVATE MARVOLEN_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}")
