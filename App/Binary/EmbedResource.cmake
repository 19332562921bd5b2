# Turns one file into a C++ source that defines the resource NAME as the
# Binary.h declarations describe it: NAME_array, NAME_pointer and NAME_length.
# Run in script mode: cmake -DINPUT=<file> -DOUTPUT=<source> -DNAME=<name> -P EmbedResource.cmake
foreach(argument INPUT OUTPUT NAME)
    if(NOT DEFINED ${argument})
        message(FATAL_ERROR "EmbedResource.cmake: ${argument} is not set")
    endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
    message(FATAL_ERROR "EmbedResource.cmake: ${INPUT} is empty")
endif()
math(EXPR size "${digits} / 2")

# Sixteen bytes a line, each as a character literal: the array needs no
# terminating NUL and no narrowing conversion, and stays a constant initialiser.
string(REGEX REPLACE "(................................)" "\\1\n    " hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1', " bytes "${hex}")
string(REGEX REPLACE ", \n" ",\n" bytes "${bytes}")
string(REGEX REPLACE "[ \n]+$" "" bytes "${bytes}")

get_filename_component(source_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
"// Generated at build time from ${source_name}; edit the file, not this source.
#include \"Binary.h\"

const char ${NAME}_array[${size}] = {
    ${bytes}
};
const char* ${NAME}_pointer = ${NAME}_array;
const int ${NAME}_length = ${size};
")
