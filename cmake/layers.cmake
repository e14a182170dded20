# One static library per top-level folder of src/: a layer. A layer's headers
# are found as "<layer>/name.h" only by the layer itself and by the targets
# that link it, through an include root of its own in the build folder that
# holds nothing but a link to its folder. An include against the direction of
# the layers therefore fails to compile.
#
#   rondexa_layer(<layer> SOURCES ... [PUBLIC targets...] [PRIVATE targets...])
set(RONDEXA_LAYERS "")

function(rondexa_layer layer)
    cmake_parse_arguments(LAYER "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    set(target rondexa_${layer})
    add_library(${target} STATIC ${LAYER_SOURCES})
    set(root ${CMAKE_BINARY_DIR}/layers/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${layer} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${LAYER_PUBLIC} PRIVATE ${LAYER_PRIVATE})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    set(RONDEXA_LAYERS ${RONDEXA_LAYERS} ${target} PARENT_SCOPE)
endfunction()
