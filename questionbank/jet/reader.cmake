target_sources(marvolen_jet_reader PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/JetReader.h
  ${CMAKE_CURRENT_LIST_DIR}/JetReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextCodec.h
  ${CMAKE_CURRENT_LIST_DIR}/TextCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FieldCodec.h
  ${CMAKE_CURRENT_LIST_DIR}/FieldCodec.cpp)
