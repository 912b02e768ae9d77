// How the program's paths reach the file system. The program forms paths as its
// folder followed by a literal such as "\walk.wav"; the backslash is the original
// platform's separator and becomes '/' here. The folder itself is left as it is,
// since a folder's own name may hold a backslash.
#pragma once

#include <string>

namespace platform {

inline std::string HostPath(const std::string& path, const std::string& app_path) {
  std::string host = path;
  size_t from = 0;
  if (!app_path.empty() && host.compare(0, app_path.size(), app_path) == 0) from = app_path.size();
  for (size_t i = from; i < host.size(); ++i)
    if (host[i] == '\\') host[i] = '/';
  return host;
}

}  // namespace platform
