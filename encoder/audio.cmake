# The audio encoder, included by encoder/CMakeLists.txt.
target_sources(vexa_encoder PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/audio_block_encoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio_encoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio_forward_transform.cpp)
