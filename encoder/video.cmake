# The video encoder, included by encoder/CMakeLists.txt.
target_sources(vexa_encoder PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/video_bit_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_block_encoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_code_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_coefficient_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_encoder_kernels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_frame_encoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_bundle_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_motion_search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_plane_encoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_rate_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_transform.cpp)
