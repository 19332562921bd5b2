# Our own targets build with warnings as errors; JUCE's modules keep their own flags.
function(kvx_enable_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
