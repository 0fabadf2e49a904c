# embed_file(TARGET target INPUT file SYMBOL name)
# Compiles the bytes of `file` into `target` as `extern const unsigned char name[]` and
# `extern const std::size_t name_size`, so the program carries them without a resource system.
function(embed_file)
    cmake_parse_arguments(EMBED "" "TARGET;INPUT;SYMBOL" "" ${ARGN})
    set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded_${EMBED_SYMBOL}.cpp)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DINPUT=${EMBED_INPUT} -DOUTPUT=${output} -DSYMBOL=${EMBED_SYMBOL}
                -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFileScript.cmake
        DEPENDS ${EMBED_INPUT} ${CMAKE_SOURCE_DIR}/cmake/EmbedFileScript.cmake
        COMMENT "Embedding ${EMBED_INPUT}"
        VERBATIM)
    target_sources(${EMBED_TARGET} PRIVATE ${output})
endfunction()
