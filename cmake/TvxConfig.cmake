# Build-time configuration (hosts, product id, keys, customer-service numbers). The defaults
# are placeholders; a run-time override file named by TVX_CONFIG replaces any of them
# (see src/app/BuildConfig.h), which is how the tests point the program at loopback servers.
set(TVX_ORGANIZATION_DOMAIN "kestrane.example" CACHE STRING "Organisation domain")
set(TVX_ENTRY_SCOPE "main" CACHE STRING "Build-wide entry scope")
configure_file(${CMAKE_SOURCE_DIR}/cmake/tvx_build_config.h.in ${CMAKE_BINARY_DIR}/generated/tvx_build_config.h @ONLY)
