# JUCE 7 from Debian's juce-modules-source, each module's single translation unit
# compiled once into a static library:
#   juce_headless: juce_core, juce_events, juce_data_structures (logic and tests)
#   juce_gui:      juce_graphics, juce_gui_basics on top of it
set(JUCE_MODULES_DIR "/usr/share/juce/modules" CACHE PATH "Folder that holds the juce_* module folders")
if(NOT EXISTS "${JUCE_MODULES_DIR}/juce_core/juce_core.h")
    message(FATAL_ERROR "JUCE modules not found in ${JUCE_MODULES_DIR}: install juce-modules-source")
endif()
file(STRINGS "${JUCE_MODULES_DIR}/juce_core/juce_core.h" _juce_version_line REGEX "^[ ]*version:")
if(NOT _juce_version_line MATCHES "7\\.")
    message(FATAL_ERROR "JUCE 7 is required, found: ${_juce_version_line}")
endif()

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(JUCE_GRAPHICS_DEPS REQUIRED IMPORTED_TARGET freetype2 libpng libjpeg zlib)

function(kvx_add_juce_library name)
    set(sources)
    set(definitions)
    foreach(module IN LISTS ARGN)
        list(APPEND sources "${JUCE_MODULES_DIR}/${module}/${module}.cpp")
        list(APPEND definitions JUCE_MODULE_AVAILABLE_${module}=1)
    endforeach()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} SYSTEM PUBLIC "${JUCE_MODULES_DIR}")
    target_compile_definitions(${name} PUBLIC ${definitions}
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
        JUCE_STANDALONE_APPLICATION=1
        JUCE_USE_CURL=0
        JUCE_WEB_BROWSER=0
        JUCE_DISPLAY_SPLASH_SCREEN=0
        # Debug and release builds of JUCE differ in class layout: one switch for all.
        $<IF:$<CONFIG:Debug>,DEBUG=1 _DEBUG=1,NDEBUG=1>)
    target_compile_options(${name} PRIVATE -w)
endfunction()

kvx_add_juce_library(juce_headless juce_core juce_events juce_data_structures)
target_link_libraries(juce_headless PUBLIC Threads::Threads ${CMAKE_DL_LIBS} rt z)

kvx_add_juce_library(juce_gui juce_graphics juce_gui_basics)
target_link_libraries(juce_gui PUBLIC juce_headless PkgConfig::JUCE_GRAPHICS_DEPS)
