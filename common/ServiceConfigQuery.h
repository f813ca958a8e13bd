#pragma once

namespace win {
class ServiceHandle;
struct ServiceConfig;
} // namespace win

// QueryServiceConfigW the usual way: a first call learns the size the
// configuration needs, a second one reads it. False when either fails.
bool queryServiceConfig(const win::ServiceHandle& service, win::ServiceConfig* config);
