target_sources(marvolen_jet_writer PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/JetWriter.h
  ${CMAKE_CURRENT_LIST_DIR}/JetWriterText.h
  ${CMAKE_CURRENT_LIST_DIR}/JetWriter.cpp)
