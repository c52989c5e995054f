// The platform's web-request client, as far as the system handles it: an
// object owned by the cloud-authentication helper and released with it.
#pragma once

#include <string>

class ZQLibCurl {
 public:
  ZQLibCurl() = default;
  virtual ~ZQLibCurl() = default;
  ZQLibCurl(const ZQLibCurl&) = delete;
  ZQLibCurl& operator=(const ZQLibCurl&) = delete;
};
