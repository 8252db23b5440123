# Warnings and sanitizers shared by every target of the project.
add_library(brixel_options INTERFACE)
target_compile_options(brixel_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                -Wnon-virtual-dtor -Wimplicit-fallthrough)
# GCC 12 reports -Wrestrict falsely on std::string concatenation at -O2 and above (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(brixel_options INTERFACE -Wno-restrict)
endif()
if(BRIXEL_WERROR)
    target_compile_options(brixel_options INTERFACE -Werror)
endif()
if(BRIXEL_SANITIZE)
    target_compile_options(brixel_options INTERFACE -fsanitize=address,undefined
                                                    -fno-sanitize-recover=undefined
                                                    -fno-omit-frame-pointer)
    target_link_options(brixel_options INTERFACE -fsanitize=address,undefined)
endif()

# brixel_module(NAME DEPS...): a static library of every .cpp in the calling folder.
function(brixel_module name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC brixel_options ${ARGN})
endfunction()
