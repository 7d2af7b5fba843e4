# Build-time configuration (hosts, product id, keys, customer-service numbers). The defaults
# are placeholders; a run-time override file named by TVX_CONFIG replaces any of them
# (see src/core/BuildConfig.h), which is how the tests point the program at loopback servers.
set(TVX_ORGANIZATION_DOMAIN "kestrane.example" CACHE STRING "Organisation domain")
set(TVX_ENTRY_SCOPE "main" CACHE STRING "Build-wide entry scope")
set(TVX_CUSTOMER_SERVICE_HOST "chat.support.example" CACHE STRING "Customer-service web chat host")
set(TVX_CUSTOMER_SERVICE_QTYPE "10001" CACHE STRING "Customer-service queue number")
set(TVX_CUSTOMER_SERVICE_GID "20001" CACHE STRING "Customer-service group number")
set(TVX_ANALYTICS_PRODUCT_NUMBER "1000" CACHE STRING "Product number (four digits)")
set(TVX_ANALYTICS_APP_KEY "0f1e2d3c4b5a69788796a5b4c3d2e1f0" CACHE STRING "Analytics application key")
# The vendor account SDK's application information (issued by the vendor with the application).
set(TVX_LENOVO_APP_ID "0000000000000000" CACHE STRING "Vendor account SDK application id (16 digits)")
set(TVX_LENOVO_MCH_ID "000000000000000" CACHE STRING "Vendor account SDK merchant id (15 digits)")
set(TVX_LENOVO_APP_KEY "placeholder" CACHE STRING "Vendor account SDK private key (PKCS#8, Base64 on one line)")
configure_file(${CMAKE_SOURCE_DIR}/cmake/tvx_build_config.h.in ${CMAKE_BINARY_DIR}/generated/tvx_build_config.h @ONLY)
