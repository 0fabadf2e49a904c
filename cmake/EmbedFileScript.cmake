# Writes INPUT's bytes as a C++ array named SYMBOL into OUTPUT.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
       "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
     "#include <cstddef>\n"
     "extern const unsigned char ${SYMBOL}[];\n"
     "extern const std::size_t ${SYMBOL}_size;\n"
     "alignas(8) const unsigned char ${SYMBOL}[] = {\n${bytes}0};\n"
     "const std::size_t ${SYMBOL}_size = ${size};\n")
