# Gives a Windows program a version resource (cmake/version.rc.in) that says
# what it is and which version it belongs to: product name, version,
# description and file name, shown under Properties, Details.
#   malvik_version_resource(TARGET "What the program does")
function(malvik_version_resource target description)
  set(rc_description "${description}")
  set(rc_internal_name "${target}")
  set(rc_file_name "${target}.exe")
  set(rc "${CMAKE_BINARY_DIR}/generated/version-${target}.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
