# Writes the build stamp source: run by the build at every build.
# In: OUT (file to write).
string(TIMESTAMP year "%Y")
string(TIMESTAMP month "%m")
string(TIMESTAMP day "%d")
string(TIMESTAMP time "%H:%M:%S")

# Month names are spelled here rather than taken from the C library, whose
# names follow the build machine's locale.
set(names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR index "${month} - 1")
list(GET names ${index} name)
string(REGEX REPLACE "^0" " " day "${day}")

file(WRITE "${OUT}.tmp" "// Generated at build time by res/build_stamp.cmake; do not edit.
#include \"res/version.h\"

const char* BuildDateText() { return \"${name} ${day} ${year}\"; }
const char* BuildTimeText() { return \"${time}\"; }
")
file(RENAME "${OUT}.tmp" "${OUT}")
