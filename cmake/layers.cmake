# One static library per top-level folder of src/: a layer. A layer's headers
# are found as "<layer>/name.h" only by the layer itself and by the targets
# that link it, through an include root of its own in the build folder that
# holds nothing but a link to its folder. An include against the direction of
# the layers therefore fails to compile.
#
#   rondexa_layer(<layer> SOURCES ... [PUBLIC targets...] [PRIVATE targets...])
#
# Each layer compiles as a unity build over a header set precompiled once:
# the Qt and standard headers are most of what a file compiles, and on two
# cores a sanitized build of the files one by one took a quarter of an hour.
# A layer that draws windows precompiles Qt Widgets too; the others never see
# it. RONDEXA_UNITY=OFF compiles file by file, to check that each file still
# includes what it uses.
set(RONDEXA_LAYERS "")

option(RONDEXA_UNITY "Compile each target as a few unity files over precompiled headers" ON)

set(RONDEXA_CORE_HEADERS <algorithm> <array> <functional> <memory> <optional> <vector> <QByteArray> <QByteArrayView>
    <QHash> <QList> <QSet> <QString> <QStringList>)
set(RONDEXA_WIDGETS_HEADERS ${RONDEXA_CORE_HEADERS} <QtGui> <QtWidgets>)

# Unity batches of eight keep both cores of a small machine busy.
function(rondexa_fast_build target)
    if(RONDEXA_UNITY)
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    else()
        set_target_properties(${target} PROPERTIES DISABLE_PRECOMPILE_HEADERS ON)
    endif()
endfunction()

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
    rondexa_fast_build(${target})
    if("Qt6::Widgets" IN_LIST LAYER_PUBLIC)
        target_precompile_headers(${target} PRIVATE ${RONDEXA_WIDGETS_HEADERS})
    else()
        target_precompile_headers(${target} PRIVATE ${RONDEXA_CORE_HEADERS})
    endif()
    set(RONDEXA_LAYERS ${RONDEXA_LAYERS} ${target} PARENT_SCOPE)
endfunction()
