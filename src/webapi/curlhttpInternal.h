// What the request channel and its host probe share: the fixed request headers, the transfer
// settings every handle gets, the channel's debug line and the process-wide header values.
#pragma once

#include <curl/curl.h>

#include <string>

namespace curlhttp_internal {

void debugLine(const char *operation, const std::string &message);
// domain, when given, names the host in "X-Domain:" instead of the process-wide value.
curl_slist *headerList(const char *contentType, const std::string *domain = nullptr);
// Certificates are verified unless the override file turns that off for a test server.
void applyTls(CURL *easy);
void applyCommon(CURL *easy);
// What a probe learnt of a candidate host becomes the header values of every later request.
void updateHeaderValues(const std::string &host, const std::string &productId, const std::string &version,
                        const std::string &credits, const std::string &channel);

} // namespace curlhttp_internal
