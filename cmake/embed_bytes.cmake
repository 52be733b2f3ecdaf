# cmake -DINPUT=file -DOUTPUT=file.inc -P embed_bytes.cmake
# Writes the bytes of INPUT as an array initialiser, 16 to a line: "0x42,0x4d,...".
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "${bytes}\n")
