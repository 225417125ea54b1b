# One static library per layer; its sources are the layer folder's own files.
function(quorvantic_layer name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# One test executable per tst_*.cpp of the calling folder, linked to the given libraries.
function(quorvantic_tests)
    cmake_parse_arguments(ARG "" "" "LIBS;ENVIRONMENT" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp")
    file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
    string(REPLACE "/" "_" prefix "${folder}")
    foreach(source ${tests})
        get_filename_component(stem "${source}" NAME_WE)
        set(target "${prefix}_${stem}")
        add_executable(${target} "${source}")
        target_link_libraries(${target} PRIVATE ${ARG_LIBS} Qt6::Test)
        target_compile_definitions(${target} PRIVATE
            QUORVANTIC_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
            QUORVANTIC_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
            QUORVANTIC_RESOURCES_DIR="${QUORVANTIC_RESOURCES_DIR}"
            QUORVANTIC_LIBEXEC_DIR="${QUORVANTIC_LIBEXEC_DIR}"
            QUORVANTIC_BIN_DIR="${QUORVANTIC_BIN_DIR}")
        set_target_properties(${target} PROPERTIES
            RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests/${folder}")
        add_test(NAME ${folder}/${stem} COMMAND ${target})
        # Run logs go to the build tree, never to the home folder of whoever runs the tests.
        set(environment QT_QPA_PLATFORM=offscreen "XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-state"
            ${QUORVANTIC_TEST_ENVIRONMENT} ${ARG_ENVIRONMENT})
        set_tests_properties(${folder}/${stem} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 600)
    endforeach()
endfunction()
