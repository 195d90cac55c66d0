# Script mode: turns one asset file into a C++ source holding its bytes and exact length.
# Usage: cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedFile.cmake
file(SIZE "${INPUT}" size)
file(READ "${INPUT}" hex HEX)
# One escaped byte after another; a string literal compiles far faster than a brace list.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
# Break the literal into lines of 64 bytes so editors and diff tools cope.
string(REGEX REPLACE "((\\\\x[0-9a-f][0-9a-f]){64})" "\\1\"\n\"" escaped "${escaped}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"embedded_assets.h\"\n"
  "extern const unsigned char ${SYMBOL}[${size} + 1] = \"${escaped}\";\n"
  "extern const std::size_t ${SYMBOL}_size = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
