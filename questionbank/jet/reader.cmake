target_sources(marvolen_jet_reader PRIVATE ${CMAKE_CURRENT_LIST_DIR}/JetReader.h ${CMAKE_CURRENT_LIST_DIR}/JetReaderStub.cpp)
