# One interface target carries the language level, the warnings and the Qt defines
# that every Vaultine target is built with.
add_library(vaultine_flags INTERFACE)

target_compile_features(vaultine_flags INTERFACE cxx_std_20)
target_compile_options(vaultine_flags INTERFACE
    -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough
    -Wcast-qual -Wformat=2 -Wshadow)
if(VAULTINE_WERROR)
    target_compile_options(vaultine_flags INTERFACE -Werror)
endif()

# Hardening for a program that handles secrets: stack canaries, checked libc calls in optimised
# builds, position-independent executables and a read-only relocation table bound at start.
target_compile_options(vaultine_flags INTERFACE -fstack-protector-strong)
if(NOT VAULTINE_SANITIZE AND NOT VAULTINE_TSAN AND NOT VAULTINE_FUZZ)
    target_compile_definitions(vaultine_flags INTERFACE
        $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
target_link_options(vaultine_flags INTERFACE -Wl,-z,relro -Wl,-z,now)

target_compile_definitions(vaultine_flags INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_FOREACH
    QT_USE_QSTRINGBUILDER)

if(VAULTINE_SANITIZE)
    target_compile_options(vaultine_flags INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(vaultine_flags INTERFACE -fsanitize=address,undefined)
endif()

if(VAULTINE_TSAN)
    target_compile_options(vaultine_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(vaultine_flags INTERFACE -fsanitize=thread)
endif()

if(VAULTINE_FUZZ)
    # Every library the fuzz target reaches is instrumented for coverage; the target itself links libFuzzer.
    target_compile_options(vaultine_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(vaultine_flags INTERFACE -fsanitize=address,undefined)
endif()
