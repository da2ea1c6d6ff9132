target_sources(marvolen_questionbank PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RecordAccess.h ${CMAKE_CURRENT_LIST_DIR}/AccessStub.cpp)
