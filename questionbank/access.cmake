target_sources(marvolen_questionbank PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BankSchema.h
  ${CMAKE_CURRENT_LIST_DIR}/ComError.h
  ${CMAKE_CURRENT_LIST_DIR}/ComError.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionString.h
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Database.h
  ${CMAKE_CURRENT_LIST_DIR}/Database.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DatabaseFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionOpen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FieldConversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HResult.h
  ${CMAKE_CURRENT_LIST_DIR}/RecordAccess.h
  ${CMAKE_CURRENT_LIST_DIR}/RecordAccess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Statement.h
  ${CMAKE_CURRENT_LIST_DIR}/Statement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextCompare.h
  ${CMAKE_CURRENT_LIST_DIR}/TextCompare.cpp)
