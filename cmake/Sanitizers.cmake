# One sanitizer set for every target, JUCE included, so that class layouts and
# instrumented allocations agree across the whole program.
if(KVX_SANITIZE)
    add_compile_options(-fsanitize=${KVX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KVX_SANITIZE})
endif()
