// The live board page's files (manager/web/), embedded in the program at build time so that
// an installed vorak-manager needs nothing beside it.
#ifndef DRAVIX_MANAGER_WEB_ASSETS_H
#define DRAVIX_MANAGER_WEB_ASSETS_H

#include <string_view>
#include <vector>

namespace manager {

struct WebAsset {
  std::string_view name;  // the file name, such as "app.js"
  std::string_view body;
};

// Defined in the source that the build generates (manager/web/web_embed.cmake).
std::vector<WebAsset> const& web_assets();

}  // namespace manager

#endif
