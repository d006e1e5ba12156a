# lumivex_embed(<out-var> INPUT <file> SYMBOL <name> NAMESPACE <ns> [TEXT] [DEPENDS <targets...>])
# Adds a build step that turns <file> into a generated C++ source defining
# `const unsigned char <ns>::<name>[]` (`const char` with TEXT), with a trailing 0,
# and `<ns>::<name>_size`, and sets <out-var> to that source's path. The file may
# itself be generated.
set(LUMIVEX_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake")

function(lumivex_embed out_var)
  cmake_parse_arguments(ARG "TEXT" "INPUT;SYMBOL;NAMESPACE" "DEPENDS" ${ARGN})
  set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${ARG_SYMBOL}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/embedded"
    COMMAND ${CMAKE_COMMAND} -DINPUT=${ARG_INPUT} -DOUTPUT=${output} -DSYMBOL=${ARG_SYMBOL}
            -DNAMESPACE=${ARG_NAMESPACE} -DTEXT=${ARG_TEXT} -P "${LUMIVEX_EMBED_SCRIPT}"
    DEPENDS "${ARG_INPUT}" "${LUMIVEX_EMBED_SCRIPT}" ${ARG_DEPENDS}
    COMMENT "Embedding ${ARG_INPUT}"
    VERBATIM)
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()
