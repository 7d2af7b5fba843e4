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
# Account web API: primary and backup hosts of its three host tables (bare host names, a port
# allowed), the test server of the test switches, and the values every request carries.
set(TVX_WEBAPI_APP_HOST "account.kestrane.example" CACHE STRING "Primary account web-API host")
set(TVX_WEBAPI_APP_HOST_BACKUP "account2.kestrane.example" CACHE STRING "Backup account web-API host")
set(TVX_WEBAPI_STATS_HOST "stats.kestrane.example" CACHE STRING "Primary statistics host")
set(TVX_WEBAPI_STATS_HOST_BACKUP "stats2.kestrane.example" CACHE STRING "Backup statistics host")
set(TVX_WEBAPI_PAGE_HOST "www.kestrane.example" CACHE STRING "Primary web-page host")
set(TVX_WEBAPI_PAGE_HOST_BACKUP "www2.kestrane.example" CACHE STRING "Backup web-page host")
set(TVX_WEBAPI_UPDATE_HOST "update.kestrane.example" CACHE STRING "Software update host")
set(TVX_WEBAPI_TEST_SERVER "127.0.0.1:8080" CACHE STRING "Account test server (address:port)")
set(TVX_WEBAPI_PRODUCT_ID "101" CACHE STRING "Account web-API product id")
set(TVX_WEBAPI_VERSION "1.0.0.0" CACHE STRING "Version sent to the account web API")
set(TVX_WEBAPI_CREDITS "00112233445566778899aabbccddeeff" CACHE STRING "Account web-API credential (32 hex)")
set(TVX_WEBAPI_CA_FILE "" CACHE STRING "CA bundle for the account web API (empty: the system store)")
# Cloud conversion API: it lives on the account host unless a host of its own is given.
set(TVX_CLOUD_HOST "" CACHE STRING "Cloud conversion host (empty: the primary account host)")
# The vendor account SDK's application information (issued by the vendor with the application).
set(TVX_LENOVO_APP_ID "0000000000000000" CACHE STRING "Vendor account SDK application id (16 digits)")
set(TVX_LENOVO_MCH_ID "000000000000000" CACHE STRING "Vendor account SDK merchant id (15 digits)")
set(TVX_LENOVO_APP_KEY "placeholder" CACHE STRING "Vendor account SDK private key (PKCS#8, Base64 on one line)")
configure_file(${CMAKE_SOURCE_DIR}/cmake/tvx_build_config.h.in ${CMAKE_BINARY_DIR}/generated/tvx_build_config.h @ONLY)
