# Windows only: replaces the simulated SDK with the vendor's libraries.
# Not buildable on this project's Linux machines; kept so that the swap is one
# configure option. The sdk/tessel/ headers stay the contract the code compiles against.
if(NOT WIN32)
    message(FATAL_ERROR "TESSEL_VENDOR_SDK needs the Windows vendor SDK (tesselcore.dll, tesselcommon.dll)")
endif()
if(NOT TESSEL_VENDOR_SDK_DIR)
    message(FATAL_ERROR "Set TESSEL_VENDOR_SDK_DIR to the folder holding lib/ and bin/ of the vendor SDK")
endif()

add_library(tesselcommon_vendor SHARED IMPORTED)
set_target_properties(tesselcommon_vendor PROPERTIES
    IMPORTED_IMPLIB "${TESSEL_VENDOR_SDK_DIR}/lib/tesselcommon.lib"
    IMPORTED_LOCATION "${TESSEL_VENDOR_SDK_DIR}/bin/tesselcommon.dll")

add_library(tesselcore_vendor SHARED IMPORTED)
set_target_properties(tesselcore_vendor PROPERTIES
    IMPORTED_IMPLIB "${TESSEL_VENDOR_SDK_DIR}/lib/tesselcore.lib"
    IMPORTED_LOCATION "${TESSEL_VENDOR_SDK_DIR}/bin/tesselcore.dll")

# Same target name as the simulator's, so no other CMakeLists changes.
add_library(tesselcore INTERFACE)
target_link_libraries(tesselcore INTERFACE tessel_sdk tesselcore_vendor tesselcommon_vendor nlohmann_json::nlohmann_json)
