# The Jet file reader: agreement with independent readers, small fixtures, damaged files.
marvolen_add_test(reader_corpus_test SOURCES reader_corpus_test.cpp LIBS marvolen_jet_reader Qt6::Core GTest::gtest_main)
marvolen_add_test(reader_damage_test SOURCES reader_damage_test.cpp LIBS marvolen_jet_reader GTest::gtest_main)
marvolen_add_test(reader_format_test SOURCES reader_format_test.cpp LIBS marvolen_jet_reader GTest::gtest_main)
marvolen_add_test(reader_scale_test SOURCES reader_scale_test.cpp LIBS marvolen_jet_reader marvolen_jet_writer GTest::gtest_main)
# writer_readers.h runs mdb-reader through the dump script beside it.
target_compile_definitions(reader_corpus_test PRIVATE MARVOLEN_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}")
# The test replaces operator new/delete with malloc/free to watch allocation sizes; GCC's inliner then
# pairs a library's delete with the replaced new and warns about a mismatch that is not there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(reader_damage_test PRIVATE -Wno-mismatched-new-delete)
endif()
