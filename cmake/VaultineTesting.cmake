# vaultine_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [GUI] [SESSION_BUS])
# Adds one Qt Test executable and registers it with ctest. GUI tests run on the offscreen platform.
# Every test gets its own XDG folders below the build tree so that no test touches the real home.
# SESSION_BUS runs the test on a private D-Bus session bus of its own (dbus-run-session).
# XVFB runs it on an X server of its own (xvfb-run), where there is one to start.
function(vaultine_add_test)
    cmake_parse_arguments(ARG "GUI;SESSION_BUS;XVFB" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE vaultine_flags Qt6::Test ${ARG_LIBS})
    target_compile_definitions(${ARG_NAME} PRIVATE
        VAULTINE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    if(ARG_SESSION_BUS)
        find_program(VAULTINE_DBUS_RUN_SESSION dbus-run-session REQUIRED)
        add_test(NAME ${ARG_NAME} COMMAND "${VAULTINE_DBUS_RUN_SESSION}" -- $<TARGET_FILE:${ARG_NAME}>)
    elseif(ARG_XVFB)
        find_program(VAULTINE_XVFB_RUN xvfb-run)
        if(VAULTINE_XVFB_RUN)
            add_test(NAME ${ARG_NAME} COMMAND "${VAULTINE_XVFB_RUN}" -a -s "-screen 0 1280x1024x24"
                $<TARGET_FILE:${ARG_NAME}>)
        else()
            add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
        endif()
    else()
        add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    endif()
    set(home "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.home")
    set(env
        "XDG_DATA_HOME=${home}/data"
        "XDG_CONFIG_HOME=${home}/config"
        "XDG_CACHE_HOME=${home}/cache"
        "QT_LOGGING_RULES=qt.qpa.*=false")
    if(ARG_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${ARG_NAME} PROPERTIES
        ENVIRONMENT "${env}"
        LABELS "${ARG_LABELS}"
        TIMEOUT 300)
endfunction()
