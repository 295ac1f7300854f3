# The export list of libscene.so: every class its headers define (its methods, statics,
# virtual tables and type information), the KYT_ settings functions, the frame writers and
# CalcCircleParameter. Everything else stays inside, so the library's helpers and the template
# code it instantiates cannot meet a host's own names. A class declared with hidden visibility
# is the library's own and stays out.
function(quor_scene_export_map out)
  file(GLOB headers ${CMAKE_CURRENT_SOURCE_DIR}/view/*.h ${CMAKE_CURRENT_SOURCE_DIR}/annotation/*.h)
  set(classes)
  foreach(header IN LISTS headers)
    file(STRINGS ${header} lines REGEX "^(class|struct) [A-Za-z_][A-Za-z0-9_]*( final)? *[:{]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^(class|struct) ([A-Za-z_][A-Za-z0-9_]*).*" "\\2" name "${line}")
      list(APPEND classes ${name})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES classes)
  list(SORT classes)
  set(text "{\n  global:\n    extern \"C++\" {\n")
  foreach(name IN LISTS classes)
    string(APPEND text "      ${name}::*;\n      \"vtable for ${name}\";\n      \"typeinfo for ${name}\";\n"
      "      \"typeinfo name for ${name}\";\n      non-virtual?thunk?to?${name}::*;\n")
  endforeach()
  string(APPEND text "      KYT_*;\n      CalcCircleParameter*;\n      write_BMP_file*;\n    };\n"
    "    write_JPEG_file;\n  local: *;\n};\n")
  file(CONFIGURE OUTPUT ${out} CONTENT "${text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${headers})
endfunction()
