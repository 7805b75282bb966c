# Include roots per layer, so that a target reaches only the headers of what it links.
#
# Every header is included from its layer's root ("engine/paste/StyleMerge.h"). Putting src/ on
# an include path would let any target include any layer; instead each layer gets a folder of
# its own in the build tree holding a single link, <build>/include/<layer>/<layer> -> src/<layer>,
# and only the target that owns the layer names that folder as its include directory. A target
# sees a layer's headers through linking the layer's target, or not at all.

# Sets out_var to the include root of layer (a folder of src/), making its link on first use.
function(paperloom_layer_root layer out_var)
    set(root "${PROJECT_BINARY_DIR}/include/${layer}")
    set(link "${root}/${layer}")
    set(folder "${PROJECT_SOURCE_DIR}/src/${layer}")
    if(IS_SYMLINK "${link}")
        # A build folder configured before from another checkout points elsewhere.
        file(READ_SYMLINK "${link}" current)
        if(NOT current STREQUAL folder)
            file(REMOVE "${link}")
        endif()
    endif()
    if(NOT IS_SYMLINK "${link}")
        file(MAKE_DIRECTORY "${root}")
        file(CREATE_LINK "${folder}" "${link}" SYMBOLIC)
    endif()
    set(${out_var} "${root}" PARENT_SCOPE)
endfunction()

# Makes layer's headers reachable from target and from everything that links it.
function(paperloom_expose_layer target layer)
    paperloom_layer_root(${layer} root)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE "${root}")
    else()
        target_include_directories(${target} PUBLIC "${root}")
    endif()
endfunction()
